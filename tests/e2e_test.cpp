// The built tool against the simulated drive, in scratch working folders, natively
// or (make test-arch) cross-built under a runner. The one 128-page run takes 6.4 s at least.
#include <csignal>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "query/command_lines.h"
#include "query/text.h"
#include "run/startup.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
using namespace testing;
using Lines = std::vector<std::string>;

const std::string kMachine = tool_under_test().machine;
const std::string kPgm = choose_pgm(kMachine);
const std::string kSmart = kMachine == "aarch64" ? "././SmartCtl/smartctla" : "././SmartCtl/smartctl";
const std::regex kStamp(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] )");

// What a collection's archive holds: the folder SN.../ first, then its reports (SavelogInfo.txt
// from the vendor tool's in.txt) and, for a drive of the family, the SMART report and 128 pages;
// every member mode 777, every page 16384 bytes but those in `odd` (page: size, 0 for missing).
void expect_collection(const std::string& archive, const std::string& sn, bool family, std::map<int, int> odd = {}) {
    Lines members, want{"drwxrwxrwx 0 " + sn + "/"};
    for (const auto& line : split_lines(capture("tar -tvjf '" + archive + "'"))) {
        std::istringstream fields(line);
        std::string mode, owner, size, date, time, path;
        fields >> mode >> owner >> size >> date >> time >> path;
        members.push_back(mode + " " + (path.ends_with(".raw") || path.ends_with("/") ? size + " " : "") + path);
    }
    for (const char* report : {"CheckModel.txt", "E2.txt", "SavelogInfo.txt", "SMARTInfo.txt"})
        if (family || std::string(report) != "SMARTInfo.txt") want.push_back("-rwxrwxrwx " + sn + "/" + report);
    for (int i = 0; family && i < 128; ++i)
        if (const int size = odd.contains(i) ? odd[i] : 16384)
            want.push_back("-rwxrwxrwx " + std::to_string(size) + " " + page_file_name(sn, i, {"x"}).substr(2));
    ASSERT_FALSE(members.empty()) << archive;
    EXPECT_EQ(members[0], want[0]) << archive;
    std::sort(want.begin() + 1, want.end());
    std::sort(members.begin() + 1, members.end());
    EXPECT_EQ(members, want) << archive;
}

// A drive of the family on a MegaRAID port, named on the command line (a third argument is ignored).
// Pages 5 and 17 fail, 9 comes short, and 3 is stopped by an interrupt sent as a terminal sends it, to
// the whole group: only the page command ends; the run goes on, warns of the four and packs the rest.
// Links planted at every name the run writes lead out of the folder: none is written through.
TEST(EndToEnd, FamilyRunWarnsOfIncompletePagesAndAnInterruptStopsOnlyThePageCommand) {
    SimWorkdir dir;
    const std::string sn = "SNS3K7N019X200", archive = dir.work() + "/" + sn + ".tar.bz2";
    for (const std::string& name : Lines{"CheckModel.txt", "E2.txt", "SMARTInfo.txt", "log.txt", "in.txt", "out.bin",
                                         "tmp.txt", "SavelogInfo.txt", sn + ".tar.bz2.part"})
        fs::create_symlink(dir.root() + "/outside", dir.work() + "/" + name);
    const auto run = dir.run({.args = {"/dev/sda", "8", "ignored"},
                              .env = {{"SIM_FAIL_PAGES", "5,17"}, {"SIM_SHORT_PAGES", "9"}, {"SIM_SLOW_PAGE", "3:20"}},
                              .while_running = [&](pid_t group) {
                                  ASSERT_TRUE(wait_for_text(dir.sim_log(), "cdb=1C,BE,10,03,00", 20));
                                  std::this_thread::sleep_for(std::chrono::milliseconds(300));
                                  kill(-group, SIGINT);
                              }});
    ASSERT_EQ(run.status, 0) << run.err;
    const char* warning = "warning: 4 of 128 save-log pages are missing or not 16384 bytes long: 003 005 009 017\n";
    EXPECT_TRUE(run.err.ends_with(warning)) << run.err;  // after what the failing page commands said
    EXPECT_EQ(run.err.find("dumplog:"), std::string::npos) << run.err;

    // The device line is plain, every message after it stamped (@ here).
    std::string expected = "/dev/sda\n";
    for (const std::string& text :
         Lines{"./" + kPgm + " -d /dev/sda,8 -f vucmd cdb=21 in=512 >CheckModel.txt", "ModelName:QLX22581",
               "./" + kPgm + " -d /dev/sda,8 -f vucmd cdb=2D in=8192 >E2.txt",
               kSmart + " -a -d megaraid,8 /dev/sda  > SMARTInfo.txt", "make dir:./" + sn, "===Dump Save Log Start==="})
        expected += "@" + text + "\n";
    for (int i = 0; i < 128; ++i)
        expected += "@./" + kPgm + " -d /dev/sda,8 -f vucmd cdb=1C,BE,10," + page_byte(i) +
                    ",00 in=16384 outfile=" + page_file_name(sn, i, {"x"}) + " >log.txt\n";
    expected += "@tar file... please wait about 1 minute\n@Dump Log done!!\n";
    EXPECT_EQ(std::regex_replace(run.out, kStamp, "@"), expected);

    EXPECT_EQ(dir.leftovers(), (Lines{sn, sn + ".tar.bz2"}));
    EXPECT_FALSE(fs::exists(dir.root() + "/outside"));
    EXPECT_EQ(fs::status(archive).permissions(), fs::perms::all);
    expect_collection(archive, sn, true, {{3, 0}, {5, 0}, {9, 4096}, {17, 0}});
}

// Runs that end before a drive is read: an option (no sweep, no program
// run), an empty typed line (the error branch) and an interrupt at the prompt.
// The listing is not written through a link planted at its name.
TEST(EndToEnd, RunsThatEndBeforeADriveIsRead) {
    struct Case {
        RunOptions run;
        int status;
        std::string err, out_start, out_end;
    };
    SimWorkdir dir;
    const auto interrupt_at_the_prompt = [&](pid_t pid) {
        ASSERT_TRUE(wait_for_text(dir.stdout_path(), "/dev/sdc:\n ", 10));
        // Again later, in case the first came before the read began; after the exit it reaches no one.
        for (int k = 0; k < 3; ++k, std::this_thread::sleep_for(std::chrono::milliseconds(200))) kill(pid, SIGINT);
    };
    const std::string listing = "./" + kPgm + " -l |tee DriveInfo.txt\n";
    for (const Case& c : std::vector<Case>{
             {{.args = {"--version"}}, 0, "", "dumplog ", ""},
             {{.args = {"--help"}}, 0, "", "usage: dumplog", ""},
             {{.args = {"/dev/sdc"}, .input = "   \n"},  // one argument is ignored
              0, "", listing,
              " []\nError: Please specify the drive path\nif Megarid disk,Please intput Device Path and Port ID:\n"
              "-->For example: /dev/sda 8:\nif none Megarid disk,Please intput Device Path:\n-->For example: /dev/sdc:\n"},
             {{.keep_input_open = true, .while_running = interrupt_at_the_prompt}, 1,
              "dumplog: drive selection failed: interrupted by SIGINT\n", listing, " "},
         }) {
        const std::string notes = dir.work() + "/notes.txt";
        write_file(notes, "x");
        fs::permissions(notes, fs::perms(0644));
        std::error_code planted;  // still there after an option
        fs::create_symlink(dir.root() + "/outside", dir.work() + "/DriveInfo.txt", planted);
        const auto run = dir.run(c.run);
        EXPECT_EQ(run.status, c.status) << c.out_start;
        EXPECT_EQ(run.err, c.err);
        EXPECT_TRUE(run.out.starts_with(c.out_start) && run.out.ends_with(c.out_end)) << run.out;
        const bool option = c.out_start != listing;
        EXPECT_EQ(fs::status(notes).permissions(), option ? fs::perms(0644) : fs::perms::all) << "the sweep, start-up";
        // The error branch deletes the listing; an interrupted run stops before it would.
        EXPECT_EQ(dir.leftovers(), (c.status || option ? Lines{"DriveInfo.txt", "notes.txt"} : Lines{"notes.txt"}));
        EXPECT_FALSE(fs::exists(dir.root() + "/outside"));
    }
}

// After a run for a drive of another family, a run killed with SIGKILL leaves its tar or its vendor
// tool running. They hold the folder: the next run is refused and touches nothing until the last of
// them has ended. Killed with them, the run leaves the earlier archive whole; the next run is clean.
TEST(EndToEnd, KilledRunHoldsTheFolderUntilItsLastCommandEnds) {
    SimWorkdir dir;
    const std::string sn = "SNWD7H2K01PQ", archive = dir.work() + "/" + sn + ".tar.bz2";
    ASSERT_EQ(dir.run({.input = "/dev/sdb\n"}).status, 0);  // a drive of another family: its reports packed
    expect_collection(archive, sn, false);
    // A tar that writes a few bytes of the archive and then waits.
    write_file(dir.root() + "/tar", "#!/bin/sh\n# tar -jcf ARCHIVE FOLDER/\nprintf 'BZh9' >\"$2\"\nexec sleep 60\n");
    fs::permissions(dir.root() + "/tar", fs::perms(0755));
    struct Leftover {
        RunOptions run;
        std::string seen_in, seen_text, holder;
    };
    const std::vector<Leftover> leftovers{
        {{.input = "/dev/sdb\n", .env = {{"PATH", dir.root() + ":" + std::getenv("PATH")}}},
         archive + ".part", "BZh", "('sleep'"},
        {{.args = {"/dev/sda", "8"}, .env = {{"SIM_SLOW_PAGE", "0:60"}}}, dir.sim_log(), "cdb=1C,BE,10,00,00",
         "('zerbo"},
    };
    for (Leftover left : leftovers) {
        const std::string earlier = read_file(archive);
        pid_t first = 0;
        left.run.while_running = [&](pid_t pid) {
            first = pid;
            ASSERT_TRUE(wait_for_text(left.seen_in, left.seen_text, 20));
            kill(pid, SIGKILL);  // the tool only: what it started goes on
        };
        EXPECT_EQ(dir.run(left.run).status, 128 + SIGKILL);

        const std::string notes = dir.work() + "/notes.txt", log = read_file(dir.sim_log());
        write_file(notes, "x");
        fs::permissions(notes, fs::perms(0644));
        const auto refused = dir.run({.input = "/dev/sdb\n", .name = "-refused"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(fs::status(notes).permissions(), fs::perms(0644)) << "no sweep";
        EXPECT_EQ(read_file(dir.sim_log()), log) << "no program started";
        const auto held = "another run of dumplog is using the working folder '" + fs::canonical(dir.work()).native();
        EXPECT_NE(refused.err.find(held + "', held by pid "), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find(left.holder), std::string::npos) << refused.err;

        kill(-first, SIGKILL);  // now the whole group, as a power cut or the OOM killer would
        capture("flock -w 5 '" + dir.work() + "' true");  // till the folder is free
        EXPECT_TRUE(read_file(archive) == earlier) << "the earlier archive is whole";

        const auto next = dir.run({.input = "/dev/sdb\n", .name = "-next"});
        EXPECT_EQ(next.status, 0) << next.err;
        EXPECT_TRUE(next.out.ends_with("] Dump Log done!!\n")) << next.out;
        EXPECT_FALSE(fs::exists(archive + ".part"));
        expect_collection(archive, sn, false);  // without the SMART report the killed run left
    }
}

// Standard output that refuses writes (a log at the file-size limit, a closed descriptor, a pipe whose
// reader is gone) ends the run with status 1 and a report, never a death by signal or an unseen
// "success". With both streams in one file the report is the last line.
TEST(EndToEnd, ConsoleThatRefusesWritesEndsWithStatus1AndTheReportLast) {
    SimWorkdir dir;
    const std::string log = dir.root() + "/console.log";
    std::string tool;
    for (const auto& word : tool_under_test().runner) tool += word + " ";
    tool += tool_under_test().binary;
    write_file(dir.work() + "/SNWD7H2K01PQ", "in the way");  // so the output folder fails
    const std::string run = tool + " /dev/sdb 0", err = " 2>" + log + ".err", status = "; echo $? >" + log + ".st";
    const std::string model_check = "dumplog: model check failed: writing to standard output: ";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"(ulimit -f 1; " + run + " >>" + log + err + status + ")", model_check + "File too large\n"},
        {run + " >&-" + err + status, model_check + "Bad file descriptor\n"},
        {"{ sleep 0.5; " + run + err + status + "; } | true", model_check + "Broken pipe\n"},
        {"echo /dev/sdb | " + tool + " >" + log + ".err 2>&1" + status,
         "] make dir:./SNWD7H2K01PQ\ndumplog: output folder failed: cannot make ./SNWD7H2K01PQ: File exists\n"},
    };
    for (const auto& [command, err_end] : cases) {
        write_file(log, std::string(4096, 'x'));
        capture("cd '" + dir.work() + "' && " + command);
        EXPECT_EQ(read_file(log + ".st"), "1\n") << command;
        EXPECT_TRUE(read_file(log + ".err").ends_with(err_end)) << read_file(log + ".err");
    }
}

// The archives a playbook run fetched, named by the playbook test as
// "PATH=family" or "PATH=other" words in DUMPLOG_E2E_ARCHIVES.
TEST(FetchedArchive, HoldsOneWholeCollection) {
    const char* named = std::getenv("DUMPLOG_E2E_ARCHIVES");
    if (!named) GTEST_SKIP() << "no DUMPLOG_E2E_ARCHIVES: run by contrib/ansible/test_fleet.py";
    std::istringstream words(named);
    for (std::string word; words >> word;) {
        const std::string path = word.substr(0, word.rfind('='));
        const std::string name = fs::path(path).filename(), sn = name.substr(0, name.find('.'));
        expect_collection(path, sn, word.ends_with("=family"));
    }
}

}  // namespace
}  // namespace dumplog
