// The lists of installed tracks and demos, taken from the file index at
// start-up. A track is a directory holding "terrain.hf" (or a compressed or
// scrambled variant); its title is the first line of its "desc" file.
#pragma once

enum { TRACK_TITLE_MAX = 256, DEMO_PAGE = 20 };

struct NameList {
    int count;
    char **names;     // track directory / demo file name inside the data ("demos/x.qvdemo")
    char **titles;    // display names, in list order
};

extern NameList g_tracks;   // built at start-up, freed at shut-down; sorted by title
extern NameList g_demos;    // built at start-up, freed at shut-down; index order

// Builds the track list from the file index, sorted by title ignoring case.
// In debug mode logs "dir -> title" for each. Returns the number of tracks.
int tracklist_build(NameList *list, int debug);
// Every "demos/*.qvdemo" of the index; the title is the base name.
int demolist_build(NameList *list, int debug);
void namelist_free(NameList *list);
// Index of the entry named `name` (case-insensitive), or -1.
int namelist_find(const NameList *list, const char *name);
