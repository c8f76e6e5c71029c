// The libftdi1 backend as far as this machine allows: nothing is attached.
#include <gtest/gtest.h>

#include "device/analyser_link.h"
#include "device/libftdi_driver.h"

namespace xmca {
namespace {

TEST(LibftdiDriver, WithNothingAttachedEnumeratesNoneAndTheOpenFails) {
    if (!LibftdiDriver::available()) GTEST_SKIP() << "built without libftdi1";
    LibftdiDriver d;
    char a[64] = "stale", b[64] = "stale";
    void* list[3] = {a, b, nullptr};
    DWORD n = 99;
    const FT_STATUS st = d.FT_ListDevices(list, &n, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER);
    if (st != FT_OK) GTEST_SKIP() << "no USB access here: " << d.message();
    ASSERT_EQ(n, 0u) << "an FTDI device is attached to this machine";
    DWORD count = 99;
    EXPECT_EQ(d.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);

    FT_HANDLE h = nullptr;
    char serial[] = "XMCA0001";
    EXPECT_EQ(d.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(h, nullptr);
    EXPECT_FALSE(d.message().empty());

    AnalyserLink link(d);
    EXPECT_EQ(link.OpenDevice(0), 0);
    EXPECT_EQ(link.DeviceCount, 0);
    EXPECT_EQ(link.DeviceOpen, 0);
    EXPECT_EQ(link.SendCommand(0, "$G;"), 0);
}

TEST(LibftdiDriver, CallsWithoutAnOpenDeviceFailWithTheVendorCodes) {
    LibftdiDriver d;
    int bogus = 0;
    DWORD q = 7, w = 7, r = 7;
    unsigned char buf[4] = {};
    EXPECT_EQ(d.FT_ResetDevice(&bogus), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_SetLatencyTimer(nullptr, 6), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_SetTimeouts(&bogus, 3000, 3000), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_Purge(&bogus, FT_PURGE_RX | FT_PURGE_TX), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_Write(&bogus, "$G;", 3, &w), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_Read(&bogus, buf, 4, &r), FT_INVALID_HANDLE);
    EXPECT_EQ(d.FT_GetQueueStatus(&bogus, &q), FT_INVALID_HANDLE);
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(q, 0u);
    char serial[] = "";
    FT_HANDLE h = nullptr;
    EXPECT_EQ(d.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(d.FT_OpenEx(serial, FT_OPEN_BY_DESCRIPTION, &h), FT_INVALID_PARAMETER);
}

}  // namespace
}  // namespace xmca
