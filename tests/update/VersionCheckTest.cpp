#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <regex>
#include <string>

#include "settings/AppStore.h"
#include "settings/SettingsStore.h"
#include "tests/update/MakerServerFixture.h"
#include "update/VersionCheck.h"

namespace vemo {
namespace {

using test::MakerServerTest;

class VersionCheckTest : public MakerServerTest {
  protected:
    int Check() { return CheckForNotice(text, link, updateRequired, setup); }

    std::string StoredGuid() const {
        char stored[64] = {};
        return ReadAppValue(setup.appStore, "Guid", stored, sizeof stored - 1) == AppStoreOk
                   ? std::string(stored)
                   : std::string();
    }
    bool StoredUpdate(std::uint32_t& build) const {
        return ReadAppValue(setup.appStore, "Update", &build, sizeof build) == AppStoreOk;
    }
    std::filesystem::path AnswerFile() const { return setup.answerFolder / NoticeAnswerName; }

    char text[NoticeBufferSize];
    char link[NoticeBufferSize];
    int updateRequired = 0;
};

TEST_F(VersionCheckTest, NoticeWithAndWithoutLink) {
    SimMakerAnswer answer;
    answer.infoVer = 44;
    answer.info = "新版本 2.0.4.4 已发布";
    answer.infourl = "http://www.quorvane.com/news.htm";
    Answer(SimMakerScript::VersionCheck, answer);
    std::strcpy(link, "left over");
    ASSERT_EQ(Check(), 1);
    // The text stays GBK bytes, as the answer carried it.
    EXPECT_EQ(std::string(text), "\xD0\xC2\xB0\xE6\xB1\xBE 2.0.4.4 \xD2\xD1\xB7\xA2\xB2\xBC");
    EXPECT_STREQ(link, "http://www.quorvane.com/news.htm");
    EXPECT_EQ(updateRequired, 0);
    std::uint32_t build = 0;
    EXPECT_FALSE(StoredUpdate(build));
    // A notice's answer stays in the private answer folder.
    EXPECT_TRUE(std::filesystem::exists(AnswerFile()));
    EXPECT_EQ(test::ModeOf(setup.answerFolder), 0700u);

    answer.infourl.reset();
    Answer(SimMakerScript::VersionCheck, answer);
    ASSERT_EQ(Check(), 1);
    EXPECT_STRNE(text, "");
    EXPECT_STREQ(link, "");
}

TEST_F(VersionCheckTest, MandatoryUpdateIsRememberedAndAskedNoMore) {
    SimMakerAnswer answer;
    answer.infoVer = 44;
    answer.info = "请升级";
    answer.update = 1;
    Answer(SimMakerScript::VersionCheck, answer);
    ASSERT_EQ(Check(), 1);
    EXPECT_EQ(updateRequired, 1);
    std::uint32_t build = 0;
    ASSERT_TRUE(StoredUpdate(build));
    EXPECT_EQ(build, 44u);

    // The next start: the flag at once, no request, no notice.
    updateRequired = 0;
    sim.ClearRequests();
    EXPECT_EQ(Check(), 0);
    EXPECT_EQ(updateRequired, 1);
    EXPECT_EQ(sim.RequestCount(), 0u);
    EXPECT_STREQ(text, "");

    // A stored build that is not above this one counts for nothing.
    build = 43;
    ASSERT_EQ(WriteAppValue(setup.appStore, "Update", RegDword, &build, sizeof build), AppStoreOk);
    Answer(SimMakerScript::VersionCheck, SimMakerAnswer{});
    EXPECT_EQ(Check(), 0);
    EXPECT_EQ(updateRequired, 0);
    EXPECT_EQ(sim.RequestCount(), 1u);
}

TEST_F(VersionCheckTest, AnswersWithoutANoticeAreDiscarded) {
    struct Case {
        const char* name;
        SimMakerAnswer answer;
    };
    SimMakerAnswer current;  // infoVer 43
    current.info = "无关";
    SimMakerAnswer noInfo;  // mandatory, but without a notice
    noInfo.infoVer = 44;
    noInfo.update = 1;
    SimMakerAnswer noVersion;
    noVersion.infoVer.reset();
    noVersion.info = "无版本";
    const Case cases[] = {{"infoVer 43", current}, {"no info", noInfo}, {"no infoVer", noVersion}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        updateRequired = 1;
        Answer(SimMakerScript::VersionCheck, c.answer);
        std::strcpy(text, "stale");
        EXPECT_EQ(Check(), 0);
        EXPECT_STREQ(text, "");
        EXPECT_STREQ(link, "");
        EXPECT_EQ(updateRequired, 0);
        EXPECT_FALSE(std::filesystem::exists(AnswerFile()));
        std::uint32_t build = 0;
        EXPECT_FALSE(StoredUpdate(build));
    }
}

TEST_F(VersionCheckTest, FailedRequestsGiveNoNotice) {
    SimMakerAnswer answer;
    answer.infoVer = 44;
    answer.info = "不应出现";
    answer.update = 1;
    Answer(SimMakerScript::VersionCheck, answer);

    SimBehaviour error;
    error.failure = SimFailure::HttpError;
    error.status = 500;
    error.body = "[VEMO]\r\ninfoVer=44\r\ninfo=x\r\nupdate=1\r\n";
    sim.SetBehaviour(SimService::Maker, error);
    EXPECT_EQ(Check(), 0);

    SimBehaviour cut;
    cut.failure = SimFailure::Cut;
    sim.SetBehaviour(SimService::Maker, cut);
    EXPECT_EQ(Check(), 0);

    // A server that trickles its answer (a byte every 20 ms, some seconds for the whole) never
    // stalls long enough to be given up, but the answer's deadline ends it.
    SimBehaviour trickle;
    trickle.trickleMs = 20;
    sim.SetBehaviour(SimService::Maker, trickle);
    setup.transfer.stallTimeoutSeconds = 30;
    setup.transfer.deadlineSeconds = 1;
    EXPECT_EQ(Check(), 0);

    NoServer();
    EXPECT_EQ(Check(), 0);

    EXPECT_STREQ(text, "");
    EXPECT_EQ(updateRequired, 0);
    std::uint32_t build = 0;
    EXPECT_FALSE(StoredUpdate(build));
    EXPECT_FALSE(std::filesystem::exists(AnswerFile()));
    EXPECT_EQ(test::Entries(setup.answerFolder), std::vector<std::string>{});
}

TEST_F(VersionCheckTest, RequestCarriesTheInstallationIdAndTheVersion) {
    ASSERT_EQ(Check(), 0);
    const std::string guid = StoredGuid();
    EXPECT_TRUE(std::regex_match(
        guid, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
        << guid;
    ASSERT_EQ(Check(), 0);
    EXPECT_EQ(StoredGuid(), guid);

    const std::vector<SimRequest> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const SimRequest& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_TRUE(request.viaProxy);
        // The version's blank goes as %20: a raw blank cannot stand in the request line.
        EXPECT_EQ(request.url,
                  "http://www.quorvane.com/quorvane/vemo.php?Guid=" + guid + "&Ver=VEMO%202.0.4.3");
    }
}

TEST_F(VersionCheckTest, StoredIdentifierIsSentAsItIs) {
    const std::string odd = "my id";
    ASSERT_EQ(WriteAppValue(setup.appStore, "Guid", RegSz, odd.data(), odd.size()), AppStoreOk);
    EXPECT_EQ(GetInstallId(setup.appStore), odd);
    ASSERT_EQ(Check(), 0);
    ASSERT_EQ(sim.RequestCount(), 1u);
    EXPECT_EQ(sim.Requests()[0].target,
              "http://www.quorvane.com/quorvane/vemo.php?Guid=my%20id&Ver=VEMO%202.0.4.3");
}

TEST(InstallIdTest, NewIdentifiersAreRandomVersionFourGuids) {
    std::string first;
    std::string second;
    ASSERT_TRUE(NewGuidText(first));
    ASSERT_TRUE(NewGuidText(second));
    EXPECT_NE(first, second);
    EXPECT_EQ(first.size(), 36u);
    // Without a store that can be written, each call makes a new one and still answers.
    test::TempDir dir;
    const std::filesystem::path blocked = dir.path() / "file" / "registry";
    test::WriteBytes(dir.path() / "file", "not a folder");
    const std::string a = GetInstallId(blocked);
    const std::string b = GetInstallId(blocked);
    EXPECT_EQ(a.size(), 36u);
    EXPECT_NE(a, b);
}

}  // namespace
}  // namespace vemo
