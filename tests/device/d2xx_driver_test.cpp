#include <gtest/gtest.h>

#include "device/analyser_link.h"
#include "device/d2xx_driver.h"

namespace xmca {
namespace {

TEST(D2xxDriver, AbsentLibraryIsReportedAndCallsFailSafely) {
    D2xxDriver d({"libxmca-no-such-driver.so"});
    EXPECT_FALSE(d.load());
    EXPECT_FALSE(d.loaded());
    EXPECT_EQ(d.message(), "D2XX driver library libxmca-no-such-driver.so not found");

    char buf[64];
    void* list[2] = {buf, nullptr};
    DWORD n = 99;
    EXPECT_EQ(d.FT_ListDevices(list, &n, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER), FT_DEVICE_NOT_FOUND);
    FT_HANDLE h = nullptr;
    EXPECT_EQ(d.FT_OpenEx(buf, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
    int dummy = 0;
    FT_HANDLE fake = &dummy;
    DWORD got = 7;
    EXPECT_EQ(d.FT_ResetDevice(fake), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_SetLatencyTimer(fake, 6), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_SetTimeouts(fake, 3000, 3000), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_Purge(fake, 3), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_Write(fake, "$G;", 3, &got), FT_INVALID_HANDLE);
    EXPECT_EQ(got, 0u);
    got = 7;
    EXPECT_EQ(d.FT_Read(fake, buf, 1, &got), FT_INVALID_HANDLE);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(d.FT_GetQueueStatus(fake, &got), FT_INVALID_HANDLE);

    // The link on an absent driver: the open fails and nothing is counted.
    AnalyserLink link(d);
    EXPECT_EQ(link.OpenDevice(0), 0);
    EXPECT_EQ(link.DeviceCount, 0);
    EXPECT_EQ(link.StartAcquisition(0), 0);
}

TEST(D2xxDriver, LibraryWithoutTheEntryPointsIsRefused) {
    // The C library loads but has none of the driver's functions.
    D2xxDriver d({"libxmca-no-such-driver.so", "libc.so.6"});
    EXPECT_FALSE(d.load());
    EXPECT_EQ(d.message(), "D2XX driver library libc.so.6 lacks FT_ListDevices");
    FT_HANDLE h = nullptr;
    EXPECT_EQ(d.FT_OpenEx(nullptr, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
}

}  // namespace
}  // namespace xmca
