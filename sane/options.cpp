#include "options.h"

#include <sane/saneopts.h>

#include <stdlib.h>
#include <string.h>
#include <strings.h>

namespace kestrel_sane {

namespace {

const SANE_Int kSettable = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
const SANE_Int kParams = SANE_INFO_RELOAD_PARAMS;
const SANE_Int kAll = SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;

struct OptionRow {
    int index;
    SANE_String_Const name, title, desc;
    SANE_Value_Type type;
    SANE_Unit unit;
    SANE_Int cap;
    SANE_Int reloads; // what a change makes the frontend reload
};

// Every option, in the order a frontend shows them.
const OptionRow kOptionRows[OPTION_COUNT] = {
    {OPT_NUM_OPTS, SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS, SANE_TYPE_INT,
     SANE_UNIT_NONE, SANE_CAP_SOFT_DETECT, 0},
    {OPT_STANDARD_GROUP, SANE_NAME_STANDARD, SANE_TITLE_STANDARD, SANE_DESC_STANDARD, SANE_TYPE_GROUP,
     SANE_UNIT_NONE, 0, 0},
    {OPT_MODE, SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE, SANE_TYPE_STRING, SANE_UNIT_NONE,
     kSettable, kAll},
    {OPT_SOURCE, SANE_NAME_SCAN_SOURCE, SANE_TITLE_SCAN_SOURCE, SANE_DESC_SCAN_SOURCE, SANE_TYPE_STRING,
     SANE_UNIT_NONE, kSettable, 0},
    {OPT_RESOLUTION, SANE_NAME_SCAN_RESOLUTION, SANE_TITLE_SCAN_RESOLUTION, SANE_DESC_SCAN_RESOLUTION,
     SANE_TYPE_INT, SANE_UNIT_DPI, kSettable, kParams},
    {OPT_PREVIEW, SANE_NAME_PREVIEW, SANE_TITLE_PREVIEW, SANE_DESC_PREVIEW, SANE_TYPE_BOOL, SANE_UNIT_NONE,
     kSettable, kParams},
    {OPT_GEOMETRY_GROUP, SANE_NAME_GEOMETRY, SANE_TITLE_GEOMETRY, SANE_DESC_GEOMETRY, SANE_TYPE_GROUP,
     SANE_UNIT_NONE, 0, 0},
    {OPT_TL_X, SANE_NAME_SCAN_TL_X, SANE_TITLE_SCAN_TL_X, SANE_DESC_SCAN_TL_X, SANE_TYPE_FIXED, SANE_UNIT_MM,
     kSettable, kParams},
    {OPT_TL_Y, SANE_NAME_SCAN_TL_Y, SANE_TITLE_SCAN_TL_Y, SANE_DESC_SCAN_TL_Y, SANE_TYPE_FIXED, SANE_UNIT_MM,
     kSettable, kParams},
    {OPT_BR_X, SANE_NAME_SCAN_BR_X, SANE_TITLE_SCAN_BR_X, SANE_DESC_SCAN_BR_X, SANE_TYPE_FIXED, SANE_UNIT_MM,
     kSettable, kParams},
    {OPT_BR_Y, SANE_NAME_SCAN_BR_Y, SANE_TITLE_SCAN_BR_Y, SANE_DESC_SCAN_BR_Y, SANE_TYPE_FIXED, SANE_UNIT_MM,
     kSettable, kParams},
    {OPT_ENHANCEMENT_GROUP, SANE_NAME_ENHANCEMENT, SANE_TITLE_ENHANCEMENT, SANE_DESC_ENHANCEMENT,
     SANE_TYPE_GROUP, SANE_UNIT_NONE, 0, 0},
    // The drivers' own tone words differ between them; the backend applies these alike.
    {OPT_BRIGHTNESS, SANE_NAME_BRIGHTNESS, SANE_TITLE_BRIGHTNESS, SANE_DESC_BRIGHTNESS, SANE_TYPE_INT,
     SANE_UNIT_PERCENT, kSettable | SANE_CAP_EMULATED, 0},
    {OPT_CONTRAST, SANE_NAME_CONTRAST, SANE_TITLE_CONTRAST, SANE_DESC_CONTRAST, SANE_TYPE_INT, SANE_UNIT_PERCENT,
     kSettable | SANE_CAP_EMULATED, 0},
    // The drivers' black-and-white thresholds are fixed: Lineart is thresholded here.
    {OPT_THRESHOLD, SANE_NAME_THRESHOLD, SANE_TITLE_THRESHOLD, SANE_DESC_THRESHOLD, SANE_TYPE_INT,
     SANE_UNIT_NONE, kSettable | SANE_CAP_EMULATED, 0},
    {OPT_ADVANCED_GROUP, SANE_NAME_ADVANCED, SANE_TITLE_ADVANCED, SANE_DESC_ADVANCED, SANE_TYPE_GROUP,
     SANE_UNIT_NONE, 0, 0},
    {OPT_CALIBRATE, "calibrate", "Calibrate",
     "Calibrates the scanner with its white calibration card: put the card in the feeder, then press. "
     "The card is fed through and ejected.",
     SANE_TYPE_BUTTON, SANE_UNIT_NONE, kSettable | SANE_CAP_ADVANCED, 0},
};

struct ModeName {
    ScanMode mode;
    SANE_String_Const name;
};
const ModeName kModeNames[] = {
    {ScanMode::Color, SANE_VALUE_SCAN_MODE_COLOR},
    {ScanMode::Gray, SANE_VALUE_SCAN_MODE_GRAY},
    {ScanMode::Lineart, SANE_VALUE_SCAN_MODE_LINEART},
};

SANE_String_Const const kSources[] = {"ADF", nullptr};

const SANE_Range kPercentRange = {-100, 100, 1};
const SANE_Range kThresholdRange = {0, 255, 1};
const int kDefaultResolution = 300;

SANE_Fixed Millimetres(int hundredthsOfInch) { return SANE_FIX(hundredthsOfInch * 0.254); }

void UpdateActivity(OptionSet* o)
{
    const bool lineart = CurrentMode(*o) == ScanMode::Lineart;
    auto set = [o](int index, bool active) {
        SANE_Int& cap = o->descriptors[index].cap;
        cap = active ? (cap & ~SANE_CAP_INACTIVE) : (cap | SANE_CAP_INACTIVE);
    };
    set(OPT_BRIGHTNESS, !lineart);
    set(OPT_CONTRAST, !lineart);
    set(OPT_THRESHOLD, lineart);
}

SANE_Word ClampToRange(const SANE_Range& r, SANE_Word v)
{
    if (v < r.min)
        v = r.min;
    if (v > r.max)
        v = r.max;
    if (r.quant > 0)
        v = r.min + (v - r.min + r.quant / 2) / r.quant * r.quant;
    return v > r.max ? r.max : v;
}

SANE_Word NearestInList(const SANE_Word* list, SANE_Word v)
{
    SANE_Word best = list[1];
    for (SANE_Word i = 1; i <= list[0]; ++i)
        if (llabs((long long)list[i] - v) < llabs((long long)best - v))
            best = list[i];
    return best;
}

// The index of `text` in a null-terminated list (case as the frontend typed it), or -1.
int FindString(const SANE_String_Const* list, const char* text)
{
    for (int i = 0; list[i]; ++i)
        if (strcasecmp(list[i], text) == 0)
            return i;
    return -1;
}

size_t LongestString(const SANE_String_Const* list)
{
    size_t most = 0;
    for (int i = 0; list[i]; ++i)
        most = strlen(list[i]) > most ? strlen(list[i]) : most;
    return most + 1;
}

} // namespace

void InitOptions(OptionSet* o, const DriverFacts& facts, const std::vector<int>& resolutions)
{
    o->modes.clear();
    o->modeNames.clear();
    for (const ModeName& m : kModeNames)
        if (m.mode != ScanMode::Color || facts.color) {
            o->modes.push_back(m.mode);
            o->modeNames.push_back(m.name);
        }
    o->modeNames.push_back(nullptr);
    o->mode = 0; // colour where there is colour, else gray
    o->resolutions.assign(1, SANE_Word(resolutions.size()));
    o->resolutions.insert(o->resolutions.end(), resolutions.begin(), resolutions.end());
    o->xRange = SANE_Range{0, Millimetres(facts.bedWidth), 0};
    o->yRange = SANE_Range{0, Millimetres(facts.bedHeight), 0};

    for (const OptionRow& row : kOptionRows) {
        SANE_Option_Descriptor& d = o->descriptors[row.index];
        d = SANE_Option_Descriptor{};
        d.name = row.name;
        d.title = row.title;
        d.desc = row.desc;
        d.type = row.type;
        d.unit = row.unit;
        d.cap = row.cap;
        d.size = row.type == SANE_TYPE_GROUP || row.type == SANE_TYPE_BUTTON ? 0 : SANE_Int(sizeof(SANE_Word));
        d.constraint_type = SANE_CONSTRAINT_NONE;
    }
    auto range = [o](int index, const SANE_Range* r) {
        o->descriptors[index].constraint_type = SANE_CONSTRAINT_RANGE;
        o->descriptors[index].constraint.range = r;
    };
    auto strings = [o](int index, const SANE_String_Const* list) {
        o->descriptors[index].constraint_type = SANE_CONSTRAINT_STRING_LIST;
        o->descriptors[index].constraint.string_list = list;
        o->descriptors[index].size = SANE_Int(LongestString(list));
    };
    strings(OPT_MODE, o->modeNames.data());
    strings(OPT_SOURCE, kSources);
    o->descriptors[OPT_RESOLUTION].constraint_type = SANE_CONSTRAINT_WORD_LIST;
    o->descriptors[OPT_RESOLUTION].constraint.word_list = o->resolutions.data();
    range(OPT_TL_X, &o->xRange);
    range(OPT_BR_X, &o->xRange);
    range(OPT_TL_Y, &o->yRange);
    range(OPT_BR_Y, &o->yRange);
    range(OPT_BRIGHTNESS, &kPercentRange);
    range(OPT_CONTRAST, &kPercentRange);
    range(OPT_THRESHOLD, &kThresholdRange);

    memset(o->words, 0, sizeof o->words);
    o->words[OPT_NUM_OPTS] = OPTION_COUNT;
    o->words[OPT_RESOLUTION] = NearestInList(o->resolutions.data(), kDefaultResolution);
    o->words[OPT_PREVIEW] = SANE_FALSE;
    o->words[OPT_BR_X] = o->xRange.max;
    o->words[OPT_BR_Y] = o->yRange.max;
    o->words[OPT_THRESHOLD] = facts.lineartThreshold;
    UpdateActivity(o);
}

ScanMode CurrentMode(const OptionSet& o) { return o.modes[size_t(o.mode)]; }

SANE_Status GetOption(const OptionSet& o, int index, void* value)
{
    const SANE_Option_Descriptor& d = o.descriptors[index];
    if (!value || !SANE_OPTION_IS_ACTIVE(d.cap) || d.size == 0)
        return SANE_STATUS_INVAL;
    if (index == OPT_MODE)
        strcpy(static_cast<char*>(value), o.modeNames[size_t(o.mode)]);
    else if (index == OPT_SOURCE)
        strcpy(static_cast<char*>(value), kSources[0]);
    else
        *static_cast<SANE_Word*>(value) = o.words[index];
    return SANE_STATUS_GOOD;
}

SANE_Status SetOption(OptionSet* o, int index, void* value, SANE_Int* info)
{
    const SANE_Option_Descriptor& d = o->descriptors[index];
    if (!SANE_OPTION_IS_SETTABLE(d.cap) || !SANE_OPTION_IS_ACTIVE(d.cap))
        return SANE_STATUS_INVAL;
    if (d.type == SANE_TYPE_BUTTON)
        return SANE_STATUS_GOOD;
    if (!value)
        return SANE_STATUS_INVAL;
    SANE_Int changed = 0;
    if (d.type == SANE_TYPE_STRING) {
        // The frontend's buffer holds d.size bytes: nothing past them is read.
        char text[64] = {};
        const size_t most = size_t(d.size) < sizeof text ? size_t(d.size) : sizeof text - 1;
        memcpy(text, value, strnlen(static_cast<const char*>(value), most));
        const int found = FindString(d.constraint.string_list, text);
        if (found < 0)
            return SANE_STATUS_INVAL;
        if (strcmp(text, d.constraint.string_list[found]) != 0) {
            strcpy(static_cast<char*>(value), d.constraint.string_list[found]);
            changed |= SANE_INFO_INEXACT;
        }
        if (index == OPT_MODE && found != o->mode) {
            o->mode = found;
            UpdateActivity(o);
            changed |= kOptionRows[index].reloads;
        }
    } else {
        SANE_Word v = *static_cast<const SANE_Word*>(value);
        if (d.type == SANE_TYPE_BOOL && v != SANE_FALSE && v != SANE_TRUE)
            return SANE_STATUS_INVAL;
        SANE_Word kept = v;
        if (d.constraint_type == SANE_CONSTRAINT_RANGE)
            kept = ClampToRange(*d.constraint.range, v);
        else if (d.constraint_type == SANE_CONSTRAINT_WORD_LIST)
            kept = NearestInList(d.constraint.word_list, v);
        if (kept != v) {
            *static_cast<SANE_Word*>(value) = kept; // the frontend sees what was taken
            changed |= SANE_INFO_INEXACT;
        }
        if (kept != o->words[index])
            changed |= kOptionRows[index].reloads;
        o->words[index] = kept;
    }
    if (info)
        *info = changed;
    return SANE_STATUS_GOOD;
}

} // namespace kestrel_sane
