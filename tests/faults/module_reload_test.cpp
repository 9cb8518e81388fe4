// A host loads and unloads the data source and the driver modules once or more
// per session, all in one process. Such cycles, each scanning the start of a
// page through wren's exports, must leave no handle and no memory behind.
#include "process_counts.h"
#include "wren_module.h"

using namespace wrentest;

namespace {

void LoadScanUnload()
{
    {
        WrenModule wren;
        ASSERT_TRUE(wren.Loaded());
        scansim_insert_card(0, SCANSIM_CARD_WHITE);
        ScanSettings s = GraySettings(300);
        int width = 0, height = 0;
        ASSERT_EQ(1, wren.StartScanPage(&s, &width, &height));
        std::vector<uint8_t> lines(size_t(width + 3) / 4 * 4 * 2);
        ASSERT_EQ(2, wren.GetImageBlock(lines.data(), 2, &s, width, height));
        wren.EndScanPage();
        wren.FeedPage();
    }
    for (const char* name : {"plover_sim.dll", "kestrel.ds"}) {
        HMODULE module = LoadLibraryA(name);
        ASSERT_TRUE(module != nullptr) << name;
        FreeLibrary(module);
    }
    scansim_log_clear(); // the simulator's own record of every transfer is not the modules'
}

TEST(ModuleReload, LoadingScanningAndUnloadingRepeatedlyLeavesNoHandleOrMemoryBehind)
{
    DeleteFileA(CalibrationFile().c_str());
    scansim_reset();
    ASSERT_EQ(1, scansim_attach(0, SCANSIM_KIND_CIS1, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS));
    // The first cycle settles what the process keeps once (the simulator, the loader's caches).
    ASSERT_NO_FATAL_FAILURE(LoadScanUnload());
    const DWORD handlesBefore = processcounts::Handles();
    const SIZE_T bytesBefore = processcounts::PrivateBytes();
    for (int i = 0; i < 4; ++i)
        ASSERT_NO_FATAL_FAILURE(LoadScanUnload());
    EXPECT_EQ(handlesBefore, processcounts::Handles());
    // A module that keeps its runtime's reserve loses about 70 KiB per unload (over
    // 800 KiB here for three modules); allow for heap pages the process keeps.
    const SIZE_T bytesAfter = processcounts::PrivateBytes();
    EXPECT_LT(bytesAfter, bytesBefore + 256 * 1024) << bytesBefore / 1024 << " KiB -> " << bytesAfter / 1024 << " KiB";
    DeleteFileA(CalibrationFile().c_str());
}

} // namespace
