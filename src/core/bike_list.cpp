// The bike models a player can choose, in menu order, with the file prefix
// of each one's bike graphics and the old names earlier settings and demos
// may still carry.
#include <cstdio>
#include <cstring>

#include "core/settings.h"

const char *const k_bike_names[SETTINGS_BIKES] = {
    "450sxf(2013)", "crf450(2013)", "kx450f(2013)", "rmz450(2013)", "yz450f(2013)", "350sxf(2013)",
    "450sxf(2011)", "crf450(2011)", "kx450f(2011)", "rmz450(2011)", "yz450f(2011)", "350sxf(2011)",
    "250sx(2012)",  "cr250(2007)",  "kx250(2006)",  "rm250(2008)",  "yz250(2012)",  "250sxf(2013)",
    "crf250(2013)", "kx250f(2013)", "rmz250(2013)", "yz250f(2013)", "250sxf(2009)", "crf250(2009)",
    "kx250f(2009)", "rmz250(2009)", "yz250f(2009)", "crf250(2008)", "kx250f(2008)", "rmz250(2008)",
    "yz250f(2008)", "crf250(2007)", "kx250f(2007)", "rmz250(2007)", "yz250f(2007)", "yz250f_se(2006)",
    "125sx",        "cr125",        "kx125",        "rm125",        "yz125",        "rs50cr",
    "rs50kx",       "rs50rm",       "rs50yz",
};

struct NamePair {
    const char *from, *to;
};

// Bikes whose graphics are not named after the bike: newer models reuse
// files of their own or an earlier year's, the mini bikes those of the
// 125s.
static const NamePair k_prefix_exceptions[] = {
    {"450sxf(2013)", "450sxfv2013-"}, {"crf450(2013)", "crf450v2013-"}, {"350sxf(2013)", "350sxfv2013-"},
    {"250sxf(2013)", "250sxfv2013-"}, {"crf250(2013)", "crf250v2010-"}, {"kx250f(2013)", "kx250fv2013-"},
    {"rmz250(2013)", "rmz250v2010-"}, {"yz250f(2013)", "yz250fv2010-"}, {"rs50cr", "cr125-"},
    {"rs50kx", "kx125-"},             {"rs50rm", "rm125-"},             {"rs50yz", "yz125-"},
};

static const NamePair k_legacy_names[] = {
    {"crf250", "crf250(2008)"},
    {"kx250f", "kx250f(2008)"},
    {"rmz250", "rmz250(2008)"},
    {"yz250f", "yz250f(2008)"},
};

const char *bike_list_legacy_name(const char *name) {
    for (const NamePair &p : k_legacy_names) {
        if (strcmp(name, p.from) == 0) return p.to;
    }
    return name;
}

int bike_list_find(const char *name) {
    name = bike_list_legacy_name(name);
    for (int i = 0; i < SETTINGS_BIKES; i++) {
        if (strcmp(name, k_bike_names[i]) == 0) return i;
    }
    return -1;
}

void bike_list_prefix(int bike, char *buffer, size_t size) {
    if (size == 0) return;
    if (bike < 0 || bike >= SETTINGS_BIKES) bike = 0;
    const char *name = k_bike_names[bike];
    for (const NamePair &p : k_prefix_exceptions) {
        if (strcmp(name, p.from) == 0) {
            snprintf(buffer, size, "%s", p.to);
            return;
        }
    }
    const char *year = strchr(name, '(');
    int length = year ? (int)(year - name) : (int)strlen(name);
    snprintf(buffer, size, "%.*s-", length, name);
}
