// The built tool against the simulated drive, in scratch working folders,
// natively or (make test-arch) cross-built under a runner. Runs that dump
// 128 pages take at least 6.4 s each; there are three.
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "page_pattern.h"
#include "query/command_lines.h"
#include "run/host.h"
#include "run/startup.h"
#include "test_support.h"

namespace dumplog {
namespace {

namespace fs = std::filesystem;
using testing::capture;
using testing::message_texts;
using testing::read_file;
using testing::RunOptions;
using testing::SimWorkdir;
using Lines = std::vector<std::string>;

const std::string kMachine = testing::tool_under_test().machine;
const std::string kPgm = choose_pgm(kMachine);
const std::string kSmart = kMachine == "aarch64" ? "././SmartCtl/smartctla" : "././SmartCtl/smartctl";
const std::regex kStamp(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] )");

Lines stdout_lines(const std::string& out) {
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(out.substr(start, end - start));
    return lines;
}

Lines page_lines(const std::string& dev, const std::string& sn, const std::string& tag = "") {
    Lines lines;
    for (int i = 0; i < 128; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%03d%s.raw", i, tag.c_str());
        lines.push_back("./" + kPgm + " -d " + dev + " -f vucmd cdb=1C,BE,10," + page_byte(i) +
                        ",00 in=16384 outfile=./" + sn + "/" + name + " >log.txt");
    }
    return lines;
}

// The last line, or nothing: a run that failed early may have printed none.
std::string last(const Lines& lines) { return lines.empty() ? std::string() : lines.back(); }

Lines concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What a collection's archive holds: the folder SN.../ first, then its
// reports (SavelogInfo.txt when the vendor tool left in.txt) and, for a drive
// of the family, its 128 pages; every member mode 777 and every page 16384
// bytes. Archives fetched by the playbook are checked the same way
// (FetchedArchive below).
void expect_collection(const std::string& archive, const std::string& sn, bool family, bool savelog_info = true) {
    Lines members, want{"drwxrwxrwx 0 " + sn + "/"};
    for (const auto& line : stdout_lines(capture("tar -tvjf '" + archive + "'"))) {
        std::istringstream fields(line);
        std::string mode, owner, size, date, time, path;
        fields >> mode >> owner >> size >> date >> time >> path;
        members.push_back(mode + " " + (path.ends_with(".raw") || path.ends_with("/") ? size + " " : "") + path);
    }
    Lines reports{"CheckModel.txt", "E2.txt"};
    if (family) reports.push_back("SMARTInfo.txt");
    if (savelog_info) reports.push_back("SavelogInfo.txt");
    for (const auto& report : reports) want.push_back("-rwxrwxrwx " + sn + "/" + report);
    for (int i = 0; family && i < 128; ++i)
        want.push_back("-rwxrwxrwx 16384 " + page_file_name(sn, i, {"x"}).substr(2));
    ASSERT_FALSE(members.empty()) << archive;
    EXPECT_EQ(members[0], want[0]) << archive;
    std::sort(want.begin() + 1, want.end());
    std::sort(members.begin() + 1, members.end());
    EXPECT_EQ(members, want) << archive;
}

TEST(EndToEnd, FamilyDriveOnAMegaRaidPortFromTheCommandLineWhileASecondRunIsRefused) {
    SimWorkdir dir;
    const auto second_run_in_the_same_folder = [&](pid_t) {
        ASSERT_TRUE(testing::wait_for_text(dir.stdout_path(), "===Dump Save Log Start===", 20));
        // However the folder is named, it is the same folder.
        fs::create_directory_symlink(dir.work(), dir.root() + "/alias");
        const std::string notes = dir.work() + "/notes.txt";
        testing::write_file(notes, "x");
        fs::permissions(notes, fs::perms(0644));
        const auto second = dir.run({.args = {"/dev/sdb", "0"}, .cwd = dir.root() + "/alias", .name = "-second"});
        EXPECT_EQ(second.status, 1);
        EXPECT_EQ(second.out, "");
        EXPECT_EQ(second.err.rfind("dumplog: start-up failed: another run of dumplog is using the working folder '" +
                                       fs::canonical(dir.work()).string() + "'",
                                   0),
                  0u)
            << second.err;
        EXPECT_EQ(fs::status(notes).permissions(), fs::perms(0644)) << "the refused run swept nothing";
        EXPECT_EQ(read_file(dir.sim_log()).find("/dev/sdb"), std::string::npos) << "and ran nothing";
        fs::remove(notes);
    };
    const auto run = dir.run({.args = {"/dev/sda", "8", "ignored"}, .while_running = second_run_in_the_same_folder});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    const std::string sn = "SNS3K7N019X200";
    const Lines expected = concat(
        concat({"/dev/sda", "./" + kPgm + " -d /dev/sda,8 -f vucmd cdb=21 in=512 >CheckModel.txt", "ModelName:QLX22581",
                "./" + kPgm + " -d /dev/sda,8 -f vucmd cdb=2D in=8192 >E2.txt",
                kSmart + " -a -d megaraid,8 /dev/sda  > SMARTInfo.txt", "make dir:./" + sn,
                "===Dump Save Log Start==="},
               page_lines("/dev/sda,8", sn)),
        {"tar file... please wait about 1 minute", "Dump Log done!!"});
    EXPECT_EQ(message_texts(run.out), expected);
    const Lines lines = stdout_lines(run.out);
    EXPECT_EQ(lines[0], "/dev/sda") << "the device line is plain";
    for (std::size_t k = 1; k < lines.size(); ++k) EXPECT_TRUE(std::regex_search(lines[k], kStamp)) << lines[k];

    // The programs for this machine, and only they, ran: the model, E2 and
    // 128 page commands, and one SMART query.
    std::map<std::string, int> programs;
    for (const auto& line : stdout_lines(read_file(dir.sim_log()))) ++programs[line.substr(0, line.find(' '))];
    EXPECT_EQ(programs,
              (std::map<std::string, int>{{fs::path(kPgm).filename(), 130}, {fs::path(kSmart).filename(), 1}}));

    // What is left: the folder and the archive, nothing else.
    EXPECT_EQ(dir.leftovers(), (Lines{sn, sn + ".tar.bz2"}));
    struct stat st;
    ASSERT_EQ(stat((dir.work() + "/" + sn + ".tar.bz2").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);

    expect_collection(dir.work() + "/" + sn + ".tar.bz2", sn, true);

    // The pages in the archive are byte for byte what the drive returned.
    const std::string unpacked = dir.root() + "/unpacked";
    fs::create_directory(unpacked);
    ASSERT_EQ(std::system(("tar -xjf '" + dir.work() + "/" + sn + ".tar.bz2' -C '" + unpacked + "'").c_str()), 0);
    for (unsigned i = 0; i < 128; ++i)
        ASSERT_EQ(read_file(unpacked + "/" + page_file_name(sn, static_cast<int>(i), {"x"}).substr(2)),
                  sim::sim_page_bytes("s3k7n019x200", i))
            << "page " << i;
    EXPECT_NE(read_file(unpacked + "/" + sn + "/SMARTInfo.txt").find("Serial Number:    S3K7N019X200"),
              std::string::npos);
}

TEST(EndToEnd, TypedSelectionWithATagAndAFileDroppedIntoTheFolder) {
    SimWorkdir dir;
    const auto run = dir.run({.input = "  /dev/sda 8  x t1\n", .env = {{"SIM_DROP_FILE", "7:CheckModel.txt"}}});
    EXPECT_EQ(run.status, 1);
    const std::string sn = "SNS3K7N019X200";
    EXPECT_EQ(run.err,
              "dumplog: gathering and packaging failed: cannot move ./CheckModel.txt into ./" + sn + ": File exists\n");

    const Lines lines = stdout_lines(run.out);
    ASSERT_GT(lines.size(), 8u);
    EXPECT_EQ(lines[0], "./" + kPgm + " -l |tee DriveInfo.txt");
    const auto prompt = std::find(lines.begin(), lines.end(), "-->For example: /dev/sdc:");
    ASSERT_NE(prompt, lines.end());
    EXPECT_EQ(*(prompt + 1), " ['/dev/sda', '8', 'x', 't1']");
    const Lines texts = message_texts(run.out);
    EXPECT_EQ(last(texts), page_lines("/dev/sda,8", sn, "_t1").back());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Dump Log done!!"), 0);

    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(fs::file_size(dir.work() + "/" + page_file_name(sn, i, {"", "", "", "t1"}).substr(2)), 16384u);
    EXPECT_FALSE(fs::exists(dir.work() + "/" + sn + ".tar.bz2"));
    EXPECT_NE(read_file(dir.work() + "/CheckModel.txt").find("\n0000  51 4C 58 32"), std::string::npos)
        << "the report is kept";
}

TEST(EndToEnd, IncompleteSaveLogIsWarnedAndAnInterruptStopsOnlyThePageCommand) {
    SimWorkdir dir;
    const auto run = dir.run({.input = "/dev/sdc\n",
                              .env = {{"SIM_FAIL_PAGES", "5,17"}, {"SIM_SHORT_PAGES", "9"}, {"SIM_SLOW_PAGE", "3:20"}},
                              .while_running = [&](pid_t group) {
                                  ASSERT_TRUE(testing::wait_for_text(dir.sim_log(), "cdb=1C,BE,10,03,00", 20));
                                  std::this_thread::sleep_for(std::chrono::milliseconds(300));
                                  kill(-group, SIGINT);  // as a terminal does: the whole foreground group
                              }});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string warning =
        "warning: 4 of 128 save-log pages are missing or not 16384 bytes long: 003 005 009 017\n";
    EXPECT_NE(run.err.find(warning), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("dumplog:"), std::string::npos) << run.err;

    const std::string sn = "SNZX41B0C7K2";
    const Lines texts = message_texts(run.out);
    const auto start = std::find(texts.begin(), texts.end(), "===Dump Save Log Start===");
    ASSERT_NE(start, texts.end());
    EXPECT_EQ(Lines(start + 1, start + 129), page_lines("/dev/sdc", sn));
    EXPECT_EQ(last(texts), "Dump Log done!!");
    EXPECT_EQ(dir.leftovers(), (Lines{sn, sn + ".tar.bz2"}));
    EXPECT_EQ(fs::file_size(dir.work() + "/" + sn + "/009.raw"), 4096u);
    EXPECT_FALSE(fs::exists(dir.work() + "/" + sn + "/003.raw"));
}

TEST(EndToEnd, EmptyTypedLineTakesTheErrorBranch) {
    SimWorkdir dir;
    const auto run = dir.run({.args = {"/dev/sdc"}, .input = "   \n"});  // one argument is ignored
    EXPECT_EQ(run.status, 0);
    const Lines lines = stdout_lines(run.out);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "./" + kPgm + " -l |tee DriveInfo.txt");
    EXPECT_EQ(Lines(lines.end() - 6, lines.end()),
              (Lines{" []", "Error: Please specify the drive path",
                     "if Megarid disk,Please intput Device Path and Port ID:", "-->For example: /dev/sda 8:",
                     "if none Megarid disk,Please intput Device Path:", "-->For example: /dev/sdc:"}));
    EXPECT_EQ(dir.leftovers(), Lines{}) << "DriveInfo.txt is deleted, no report is made";
}

TEST(EndToEnd, InterruptAtThePromptEndsWithStatus1) {
    SimWorkdir dir;
    const auto run = dir.run({.keep_input_open = true, .while_running = [&](pid_t pid) {
                                  ASSERT_TRUE(testing::wait_for_text(dir.stdout_path(), "/dev/sdc:\n ", 10));
                                  // Once more later, should the first land just before the read began;
                                  // after the exit it only reaches the unreaped process.
                                  for (int k = 0; k < 3; ++k) {
                                      kill(pid, SIGINT);
                                      std::this_thread::sleep_for(std::chrono::milliseconds(200));
                                  }
                              }});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dumplog: drive selection failed: interrupted by SIGINT\n");
}

TEST(EndToEnd, ClosedStdoutPipeEndsWithStatus1NotASignal) {
    SimWorkdir dir;
    const auto run = dir.run({.args = {"/dev/sdb", "0"}, .stdout_reader_gone = true});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "dumplog: model check failed: writing to standard output: Broken pipe\n");
}

TEST(EndToEnd, OtherFamilyIsRefusedAndASecondRunReplacesTheFirst) {
    SimWorkdir dir;
    const std::string sn = "SNWD7H2K01PQ";
    const Lines tail{"Model name is not KR4/KRW,can not down savelog!!", "tar file... please wait about 1 minute",
                     "Dump Log done!!"};
    const Lines head{"/dev/sdb", "./" + kPgm + " -d /dev/sdb -f vucmd cdb=21 in=512 >CheckModel.txt",
                     "ModelName:HDX71200", "./" + kPgm + " -d /dev/sdb -f vucmd cdb=2D in=8192 >E2.txt"};

    const std::string notes = dir.work() + "/notes.txt";
    testing::write_file(notes, "left by the operator");
    fs::permissions(notes, fs::perms(0644));
    auto run = dir.run({.input = "/dev/sdb\n"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(fs::status(notes).permissions(), fs::perms::all) << "the permission sweep ran";
    Lines texts = message_texts(run.out);
    const auto from = std::find(texts.begin(), texts.end(), " ['/dev/sdb']");
    ASSERT_NE(from, texts.end());
    EXPECT_EQ(Lines(from + 1, texts.end()),
              concat(concat(Lines(head.begin() + 1, head.end()), {"make dir:./" + sn}), tail));

    testing::write_file(dir.work() + "/" + sn + "/marker", "first run");
    run = dir.run({.input = "/dev/sdb\n", .env = {{"SIM_NO_SCRATCH", "1"}}});
    ASSERT_EQ(run.status, 0) << run.err;
    texts = message_texts(run.out);
    EXPECT_EQ(texts[texts.size() - 5], "remove dir:./" + sn);
    EXPECT_TRUE(std::regex_search(stdout_lines(run.out)[texts.size() - 5], std::regex("^remove dir")));
    EXPECT_EQ(texts[texts.size() - 4], "make dir:./" + sn);
    expect_collection(dir.work() + "/" + sn + ".tar.bz2", sn, false, false);  // no marker
}

TEST(EndToEnd, UnsafeSerialFromTheSmartReportTouchesAndRunsNothing) {
    for (const std::string& serial :
         std::vector<std::string>{std::string("AB/../../victim"), std::string("x;touch${IFS}pwned")}) {
        SimWorkdir dir;
        fs::create_directory(dir.root() + "/victim");
        const auto run = dir.run({.input = "/dev/sdd\n", .env = {{"SIM_SMART_SERIAL", serial}}});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind("dumplog: output folder failed: refusing serial number 'SN" + serial + "'", 0), 0u)
            << run.err;
        EXPECT_EQ(last(message_texts(run.out)), "DriveSN:SN" + serial);
        const Lines log = stdout_lines(read_file(dir.sim_log()));
        EXPECT_EQ(last(log).rfind("smartctl", 0), 0u) << "nothing ran after the SMART query";
        EXPECT_EQ(dir.leftovers(), (Lines{"CheckModel.txt", "DriveInfo.txt", "E2.txt", "SMARTInfo.txt", "in.txt",
                                          "out.bin", "tmp.txt"}));
        EXPECT_TRUE(fs::exists(dir.root() + "/victim"));
    }
}

// A run killed with SIGKILL leaves its tar or its vendor tool running. They
// hold the folder, so the next run is refused and touches nothing until the
// last of them has ended; killed with them, the run leaves the earlier
// archive whole, and the next run packs without a leftover.
TEST(EndToEnd, KilledRunHoldsTheFolderUntilItsLastCommandEnds) {
    SimWorkdir dir;
    const std::string sn = "SNWD7H2K01PQ", archive = dir.work() + "/" + sn + ".tar.bz2";
    ASSERT_EQ(dir.run({.input = "/dev/sdb\n"}).status, 0);
    struct Leftover {
        RunOptions run;
        std::string seen_in, seen_text, holder;
    };
    const std::vector<Leftover> leftovers{
        {{.input = "/dev/sdb\n", .env = {{"PATH", dir.path_with_stalling_tar()}}}, archive + ".part", "BZh", "(sleep"},
        {{.args = {"/dev/sda", "8"}, .env = {{"SIM_SLOW_PAGE", "0:60"}}},
         dir.sim_log(),
         "cdb=1C,BE,10,00,00",
         "(zerbo"},
    };
    for (Leftover left : leftovers) {
        const std::string earlier = read_file(archive);
        pid_t first = 0;
        left.run.while_running = [&](pid_t pid) {
            first = pid;
            ASSERT_TRUE(testing::wait_for_text(left.seen_in, left.seen_text, 20));
            kill(pid, SIGKILL);  // the tool only: what it started goes on
        };
        EXPECT_EQ(dir.run(left.run).status, 128 + SIGKILL);

        const std::string notes = dir.work() + "/notes.txt", log = read_file(dir.sim_log());
        testing::write_file(notes, "x");
        fs::permissions(notes, fs::perms(0644));
        const auto refused = dir.run({.input = "/dev/sdb\n", .name = "-refused"});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.out, "");
        EXPECT_NE(refused.err.find("another run of dumplog is using the working folder"), std::string::npos);
        EXPECT_NE(refused.err.find(", held by pid "), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find(left.holder), std::string::npos) << refused.err;
        EXPECT_EQ(fs::status(notes).permissions(), fs::perms(0644)) << "no sweep";
        EXPECT_EQ(read_file(dir.sim_log()), log) << "no program started";
        fs::remove(notes);

        kill(-first, SIGKILL);  // now the whole group, as a power cut or the OOM killer would
        const int folder = open(dir.work().c_str(), O_RDONLY | O_DIRECTORY);
        for (int k = 0; k < 100 && flock(folder, LOCK_EX | LOCK_NB) != 0; ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        close(folder);
        EXPECT_TRUE(read_file(archive) == earlier) << "the earlier archive is whole";

        const auto next = dir.run({.input = "/dev/sdb\n", .name = "-next"});
        EXPECT_EQ(next.status, 0) << next.err;
        EXPECT_TRUE(next.out.ends_with("] Dump Log done!!\n")) << next.out;
        EXPECT_FALSE(fs::exists(archive + ".part"));
        if (left.holder == "(sleep") expect_collection(archive, sn, false);  // the other leaves a SMART report
    }
}

// Standard output appended to a log at the file-size limit: a refused write,
// as for a closed pipe, not a death by SIGXFSZ.
TEST(EndToEnd, ConsoleAtTheFileSizeLimitEndsWithStatus1NotASignal) {
    SimWorkdir dir;
    const std::string full = dir.root() + "/full.log", err = dir.root() + "/err.txt";
    testing::write_file(full, std::string(4096, 'x'));
    std::string tool;
    for (const auto& word : testing::tool_under_test().runner) tool += word + " ";
    tool += testing::tool_under_test().binary;
    EXPECT_EQ(capture("cd '" + dir.work() + "' && (ulimit -f 1; exec " + tool + " /dev/sdb 0 >>'" + full + "' 2>'" +
                      err + "'); echo $?"),
              "1\n");
    EXPECT_EQ(read_file(err), "dumplog: model check failed: writing to standard output: File too large\n");
}

TEST(EndToEnd, TermToTheGroupWhilePackingIsAFailedPacking) {
    SimWorkdir dir;
    const std::string sn = "SNWD7H2K01PQ";
    const auto run = dir.run(
        {.input = "/dev/sdb\n", .env = {{"PATH", dir.path_with_stalling_tar()}}, .while_running = [&](pid_t group) {
             ASSERT_TRUE(testing::wait_for_text(dir.work() + "/" + sn + ".tar.bz2.part", "BZh", 20));
             kill(-group, SIGTERM);  // as when the session's terminal goes away
         }});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(std::regex_search(
        run.err,
        std::regex("^dumplog: gathering and packaging failed: packing failed: tar -jcf " + sn + ".tar.bz2.part " + sn +
                   "/ (was killed by signal 15|exited with status 143) \\(interrupted by SIGTERM\\); "
                   "the collected files are in ./" +
                   sn + "; the incomplete " + sn + ".tar.bz2.part was removed\n$")))
        << run.err;
    EXPECT_EQ(last(message_texts(run.out)), "tar file... please wait about 1 minute");
    EXPECT_EQ(dir.leftovers(), Lines{sn});
    EXPECT_TRUE(fs::exists(dir.work() + "/" + sn + "/E2.txt")) << "the collected files stay in the folder";
}

// The archives a playbook run fetched, named by the playbook test as
// "PATH=family" or "PATH=other" words in DUMPLOG_E2E_ARCHIVES.
TEST(FetchedArchive, HoldsOneWholeCollection) {
    const char* named = std::getenv("DUMPLOG_E2E_ARCHIVES");
    if (!named) GTEST_SKIP() << "no DUMPLOG_E2E_ARCHIVES: run by contrib/ansible/test_fleet.py";
    std::istringstream words(named);
    for (std::string word; words >> word;) {
        const std::string path = word.substr(0, word.rfind('='));
        const std::string sn = fs::path(path).filename().string().substr(0,
                                                                         fs::path(path).filename().string().find('.'));
        expect_collection(path, sn, word.ends_with("=family"));
    }
}

TEST(EndToEnd, VersionAndHelpLeaveTheFolderAsItWas) {
    SimWorkdir dir;
    const std::string kept = dir.work() + "/notes.txt";
    testing::write_file(kept, "x");
    fs::permissions(kept, fs::perms(0644));
    for (const char* option : {"--version", "--help"}) {
        const auto run = dir.run({.args = {option}});
        EXPECT_EQ(run.status, 0) << option;
        EXPECT_EQ(run.err, "") << option;
        EXPECT_EQ(run.out.rfind(option == std::string("--version") ? "dumplog " : "usage: dumplog", 0), 0u) << run.out;
    }
    EXPECT_EQ(dir.leftovers(), Lines{"notes.txt"});
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms(0644)) << "no permission sweep";
    EXPECT_FALSE(fs::exists(dir.sim_log())) << "no program was run";
}

}  // namespace
}  // namespace dumplog
