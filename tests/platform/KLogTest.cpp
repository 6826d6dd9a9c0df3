#include <kescoreplatform/KLog.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Logged {
    KLog::Severity severity;
    std::wstring message;
};

// Installs a recording sink and puts back whatever was there before, so tests do not leak sinks.
class KLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = KLog::SetLogSink([this](KLog::Severity severity, const std::wstring& message) {
            logged.push_back({severity, message});
        });
    }

    void TearDown() override { KLog::SetLogSink(std::move(previous)); }

    std::vector<Logged> logged;
    KLog::LogSink previous;
};

TEST_F(KLogTest, LogMessageHandsTheInfoSeverityAndTheTextToTheSink) {
    LogMessage(KLog::Info, KFormatString(L"node failed: caf\u00e9"));

    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].severity, KLog::Severity::Info);
    EXPECT_EQ(logged[0].message, L"node failed: caf\u00e9");
    EXPECT_EQ(static_cast<int>(KLog::Info.GetSeverity()), 2);
}

TEST_F(KLogTest, SetLogSinkReturnsTheSinkItReplaces) {
    int secondCalls = 0;
    KLog::LogSink replaced =
        KLog::SetLogSink([&](KLog::Severity, const std::wstring&) { ++secondCalls; });
    ASSERT_TRUE(replaced);

    replaced(KLog::Severity::Warning, L"through the returned sink");
    LogMessage(KLog::Info, KFormatString(L"through the new sink"));

    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].message, L"through the returned sink");
    EXPECT_EQ(secondCalls, 1);
}

TEST_F(KLogTest, EmptySinkRestoresTheDefaultWhichWritesOneLineToStandardError) {
    KLog::SetLogSink(KLog::LogSink());

    ::testing::internal::CaptureStderr();
    LogMessage(KLog::Info, KFormatString(L"to stderr"));
    const std::string written = ::testing::internal::GetCapturedStderr();

    EXPECT_TRUE(logged.empty());
    EXPECT_NE(written.find("to stderr"), std::string::npos) << written;
    EXPECT_EQ(written.find('\n'), written.size() - 1) << written;
}

TEST_F(KLogTest, LogMessageNeverThrowsEvenWhenTheSinkThrows) {
    KLog::SetLogSink(
        [](KLog::Severity, const std::wstring&) { throw std::runtime_error("sink is broken"); });
    EXPECT_NO_THROW(LogMessage(KLog::Info, KFormatString(L"lost")));

    KLog::SetLogSink([](KLog::Severity, const std::wstring&) { throw 42; });
    EXPECT_NO_THROW(LogMessage(KLog::Info, KFormatString(L"lost")));
}

} // namespace
