// The texture list, parsed from an open file as the loader does at start-up.
#include "resource/tex_list.h"
#include "tests/fuzz/fuzz_env.h"

#include <cstdio>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *f = tmpfile();
    if (!f) __builtin_trap();
    if (size) fwrite(data, 1, size, f);
    rewind(f);
    TexCategory *list = nullptr;
    texlist_parse(f, &list);
    fclose(f);
    // Every text is whole and every crop names one of its category's images.
    for (TexCategory *c = list; c; c = c->next) {
        if (strlen(c->name) > TEXLIST_TOKEN_MAX) __builtin_trap();
        for (TexEntry *e = c->entries; e; e = e->next) fuzz_touch(e->name, strlen(e->name));
        for (TexCrop *k = c->crops; k; k = k->next) {
            bool found = false;
            for (TexCategory *d = list; d && !found; d = d->next)
                for (TexEntry *e = d->entries; e && !found; e = e->next)
                    found = e->name == k->texture_name;
            if (!found) __builtin_trap();
            fuzz_touch(k->name, strlen(k->name));
        }
    }
    texlist_free(list);
    return 0;
}
