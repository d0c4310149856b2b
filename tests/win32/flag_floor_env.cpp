// Every Wine test program stands on the flag floor, from before its first
// test: a bit that the oldest Windows with the call does not define fails
// the test in which the call was made.
#include "tests/win32/flag_floor.h"

#include <gtest/gtest.h>

namespace {

void Fail(const std::string& finding) { ADD_FAILURE() << finding; }

class CFloorListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ResetFlagFloor(); }
};

[[maybe_unused]] const bool g_bOnTheFloor = [] {
    InstallFlagFloor(ZEPH_FLAG_TABLE, &Fail);
    ::testing::UnitTest::GetInstance()->listeners().Append(new CFloorListener);
    return true;
}();

}  // namespace
