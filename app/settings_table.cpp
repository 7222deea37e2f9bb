// The operator settings key table: which settings exist, their defaults, and which of them the
// flagged-rows apply writes. Rows that share a variable share its default.
#include "app/settings.h"

namespace {

struct Defaults {
    int32_t sndvol = 16, sndvold = 12, seltime = 0;
    int32_t ioacmax = 44000, ioacmin = 26000, iobrmax = 47000, iobrmin = 28000;
    int32_t iostmax = 64000, iostmin = 4000, ioabcflag = 0, iostcflag = 0;
    int32_t coinfree = 0, coincpc = 1, coinstart = 1, coinconti = 1, networkid = 0;
    int32_t al = 0, godiff = 3, dfdec = 15, gocontt = 30, goss = 1, goett = 20, gopet = 80;
    int32_t goslot = 0, life = 7, zero = 0, gomcgunnr = 100, bslf = 10, bslf2 = 16;
};

Defaults g_first;
Defaults g_second = [] {
    Defaults d;
    d.coinstart = 2;
    return d;
}();

#define ROWS(D, GOSPD_GOLNG)                                                                       \
    {                                                                                              \
        {"sndvol", 0, &D.sndvol, 1}, {"sndvold", 0, &D.sndvold, 1}, {"seltime", 0, &D.seltime, 1}, \
            {"ioacmax", 0, &D.ioacmax, 0}, {"ioacmin", 0, &D.ioacmin, 0},                          \
            {"iobrmax", 0, &D.iobrmax, 0}, {"iobrmin", 0, &D.iobrmin, 0},                          \
            {"iostmax", 0, &D.iostmax, 0}, {"iostmin", 0, &D.iostmin, 0},                          \
            {"ioabcflag", 0, &D.ioabcflag, 0}, {"iostcflag", 0, &D.iostcflag, 0},                  \
            {"coinfree", 0, &D.coinfree, 1}, {"coincpc", 0, &D.coincpc, 1},                        \
            {"coinstart", 0, &D.coinstart, 1}, {"coinconti", 0, &D.coinconti, 1},                  \
            {"networkid", 0, &D.networkid, 0}, {"al0", 0, &D.al, 0}, {"al1", 0, &D.al, 0},         \
            {"al2", 0, &D.al, 0}, {"al3", 0, &D.al, 0}, {"godiff", 0, &D.godiff, 1},               \
            {"dfdec", 0, &D.dfdec, 1}, {"gocontt", 0, &D.gocontt, 1}, {"gosst", 0, &D.gocontt, 1}, \
            {"goss", 0, &D.goss, 1}, {"goett", 0, &D.goett, 1}, {"gopet", 0, &D.gopet, 1},         \
            {"godemo", 0, &D.goss, 1}, {"goslot", 0, &D.goslot, 1}, {"life", 0, &D.life, 1},       \
            {"gospd", 0, GOSPD_GOLNG, 1}, {"golng", 0, GOSPD_GOLNG, 1},                            \
            {"gomcgunnr", 0, &D.gomcgunnr, 1}, {"bslf1", 0, &D.bslf, 1},                           \
            {"bslf2", 0, &D.bslf2, 1}, {"bslf3", 0, &D.bslf, 1}, {"bslf4", 0, &D.bslf, 1},         \
            {"bslf5", 0, &D.bslf, 1}, {"bslf6", 0, &D.bslf, 1}, {"mgstk", 0, &D.zero, 1},          \
            {"bcmin", 0, &D.gomcgunnr, 1}, {"bcmax", 0, &D.gomcgunnr, 1},                          \
            {"scnst", 0, &D.zero, 1}, {"gunf", 0, &D.zero, 0}, {"c1f", 0, &D.zero, 0},             \
            {"c2f", 0, &D.zero, 0}, {"c11x", 0, &D.zero, 0}, {"c11y", 0, &D.zero, 0},              \
            {"c12x", 0, &D.zero, 0}, {"c12y", 0, &D.zero, 0}, {"c13x", 0, &D.zero, 0},             \
            {"c13y", 0, &D.zero, 0}, {"c14x", 0, &D.zero, 0}, {"c14y", 0, &D.zero, 0},             \
            {"c15x", 0, &D.zero, 0}, {"c15y", 0, &D.zero, 0}, {"c21x", 0, &D.zero, 0},             \
            {"c21y", 0, &D.zero, 0}, {"c22x", 0, &D.zero, 0}, {"c22y", 0, &D.zero, 0},             \
            {"c23x", 0, &D.zero, 0}, {"c23y", 0, &D.zero, 0}, {"c24x", 0, &D.zero, 0},             \
            {"c24y", 0, &D.zero, 0}, {"c25x", 0, &D.zero, 0}, {"c25y", 0, &D.zero, 0},             \
    }

const SettingsKeyRow g_table_first[SETTINGS_KEY_ROW_COUNT] = ROWS(g_first, &g_first.zero);
const SettingsKeyRow g_table_second[SETTINGS_KEY_ROW_COUNT] = ROWS(g_second, &g_second.goss);

} // namespace

// Every region uses the same table.
const SettingsKeyRow *settings_get_region_table(void) {
    return g_table_first;
}

int settings_get_region_row_count(void) {
    return SETTINGS_KEY_ROW_COUNT;
}

const SettingsKeyRow *settings_get_alt_key_table(void) {
    return g_table_second;
}
