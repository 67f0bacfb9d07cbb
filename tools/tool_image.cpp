// "quorvin-tool image": decodes any picture the game reads (PNG, PPM, PGM,
// the delta formats "V6" / "V7", and the frames of an "ANIM1" sequence),
// tells what it found and writes it out as PNG, for people who make tracks
// and bikes and want to see what the game will see.
#include "tool_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/image.h"
#include "files/vfs.h"

enum {
    ANIM_MAX_ENTRIES = 65536,    // sequence steps and images a sequence may hold
    ANIM_NAME_MAX = 1023,
};

static int image_fail(const std::string &message) {
    fprintf(stderr, "quorvin-tool: %s\n", message.c_str());
    return 1;
}

static bool image_write_base(const char *path, const Image &image) {
    return png_write_rgba(path, image.pixels, image.width, image.height, image.channels, nullptr);
}

// "OUT.png" and frame k: "OUT-k.png".
static std::string anim_frame_path(const char *out, int k) {
    std::string base = out;
    size_t n = base.size();
    if (n >= 4 && base.compare(n - 4, 4, ".png") == 0) base.resize(n - 4);
    return base + "-" + std::to_string(k) + ".png";
}

static void anim_free(std::vector<Image> *images) {
    for (Image &image : *images) image_free(&image);
    images->clear();
}

// The rest of an "ANIM1" file after its magic word: the header, the
// sequence and the images, each "V7" + a delta picture or "PNG name".
static bool anim_read(VfsFile *f, std::vector<int> *sequence, std::vector<Image> *images, int *period,
                      int *loop, std::string *error) {
    int n = 0, m = 0;
    if (vfs_scanf(f, "%d %d %d %d", &n, &m, period, loop) != 4 || n <= 0 || m <= 0 || n > ANIM_MAX_ENTRIES ||
        m > ANIM_MAX_ENTRIES) {
        *error = "bad .seq header";
        return false;
    }
    for (int i = 0; i < n; i++) {
        int index = -1;
        if (vfs_scanf(f, "%d ", &index) != 1 || index < 0 || index >= m) {
            *error = "bad .seq entry " + std::to_string(i);
            return false;
        }
        sequence->push_back(index);
    }
    for (int i = 0; i < m; i++) {
        char word[16] = "";
        Image image;
        memset(&image, 0, sizeof image);
        if (vfs_scanf(f, "%15s", word) != 1) {
            *error = "Error reading .seq frame " + std::to_string(i);
            return false;
        }
        if (strcmp(word, "V7") == 0) {
            if (!delta_read(f, 4, 4, &image)) {
                *error = "Error reading .seq frame " + std::to_string(i) + ": " + image_last_error();
                return false;
            }
        } else if (strcmp(word, "PNG") == 0) {
            char line[ANIM_NAME_MAX + 1];
            if (!vfs_gets(f, line, sizeof line)) {
                *error = "EOF while reading .seq";
                return false;
            }
            char *name = line;
            while (*name == ' ' || *name == '\t') name++;
            size_t len = strlen(name);
            while (len > 0 && strchr(" \t\r\n", name[len - 1])) name[--len] = 0;
            if (!png_read_rgba(name, &image)) {
                *error = std::string("Can't read ") + name + ": " + image_last_error();
                return false;
            }
        } else {
            *error = "Error reading .seq frame " + std::to_string(i);
            return false;
        }
        images->push_back(image);
        const Image &first = (*images)[0];
        if (image.width != first.width || image.height != first.height) {
            *error = "Width/height mismatch reading .seq";
            return false;
        }
        if (image.channels != first.channels) {
            *error = "Depth mismatch reading .seq";
            return false;
        }
    }
    return true;
}

static int tool_image_anim(const char *file, VfsFile *f, const char *out) {
    std::vector<int> sequence;
    std::vector<Image> images;
    int period = 0, loop = 0;
    std::string error;
    bool ok = anim_read(f, &sequence, &images, &period, &loop, &error);
    vfs_close(f);
    if (!ok) {
        anim_free(&images);
        return image_fail(std::string(file) + ": " + error);
    }
    const Image &first = images[0];
    printf("%dx%d, %d channels\n", first.width, first.height, first.channels);
    printf("ANIM1: %zu frames of %zu images, period %d ticks, %s\n", sequence.size(), images.size(), period,
           loop ? "looping" : "not looping");
    int status = 0;
    for (size_t k = 0; out && k < sequence.size(); k++) {
        std::string path = anim_frame_path(out, (int)k);
        if (!image_write_base(path.c_str(), images[sequence[k]])) {
            status = image_fail("can't write " + path + ": " + image_last_error());
            break;
        }
    }
    anim_free(&images);
    return status;
}

int tool_image(int argc, char **argv) {
    const char *file = nullptr, *out = nullptr;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--out") == 0) {
            if (i + 1 >= argc) return image_fail("--out needs a file name");
            out = argv[++i];
        } else if (!file) {
            file = argv[i];
        } else {
            return image_fail(std::string("unexpected argument ") + argv[i]);
        }
    }
    if (!file) return image_fail("no picture named");

    VfsFile *f = vfs_open(file, "rb");
    if (!f) return image_fail(std::string("can't open ") + file);
    char magic[16] = "";
    if (vfs_scanf(f, "%15s", magic) == 1 && strcmp(magic, "ANIM1") == 0) return tool_image_anim(file, f, out);
    vfs_close(f);

    Image image;
    if (!image_read_file(file, 0, &image)) return image_fail(std::string(file) + ": " + image_last_error());
    printf("%dx%d, %d channels\n", image.width, image.height, image.channels);
    if (image.info && image.info[0]) printf("info: %s\n", image.info);
    int status = 0;
    if (out && !image_write_base(out, image)) status = image_fail(std::string("can't write ") + out + ": " + image_last_error());
    image_free(&image);
    return status;
}
