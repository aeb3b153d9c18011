// The vendor command tool persona: the drive listing and three vendor
// commands (identification, E2 page, save-log page), answered from the drive
// table. Answers on stdout are text dumps of the returned bytes.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>
#include <vector>

#include "page_pattern.h"
#include "sim.h"

namespace dumplog::sim {
namespace {

constexpr std::size_t kRowSize = 16;
constexpr std::size_t kModelPageSize = 512;
constexpr std::size_t kE2PageSize = 8192;
constexpr std::size_t kE2SerialOffset = 0x4C0;
constexpr unsigned kLastPage = 127;
constexpr std::string_view kDumpHeader = "Addr  00 01 02 03 04 05 06 07-08 09 0A 0B 0C 0D 0E 0F  ASCII\n";

struct VendorCommand {
    std::string target;  ///< DEVICE[,PORT] as given
    std::string device;
    std::optional<unsigned> port;
    std::string cdb_text;  ///< as given
    std::vector<unsigned> cdb;
    unsigned in = 0;
    std::optional<std::string> outfile;
};

[[noreturn]] void usage_error(std::string_view program, const std::string& why) {
    // One line, so a caller that keeps the first stderr line keeps all of it.
    throw SimError(kExitUsage, why + " (usage: " + std::string(program) +
                                   " -l | -d DEVICE[,PORT] -f vucmd cdb=XX[,XX...] in=N [outfile=PATH])");
}

// The text after prefix, when word starts with it.
std::optional<std::string_view> after(std::string_view word, std::string_view prefix) {
    if (!word.starts_with(prefix)) return std::nullopt;
    return word.substr(prefix.size());
}

// "1C,BE,10" -> {0x1C, 0xBE, 0x10}; false when a byte is not two hex digits.
bool parse_cdb(std::string_view text, std::vector<unsigned>& bytes) {
    for (;;) {
        const auto comma = text.find(',');
        const std::string_view pair = text.substr(0, comma);
        unsigned byte = 0;
        const auto [end, ec] = std::from_chars(pair.data(), pair.data() + pair.size(), byte, 16);
        if (pair.size() != 2 || ec != std::errc() || end != pair.data() + pair.size()) return false;
        bytes.push_back(byte);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

VendorCommand parse_vucmd(std::string_view program, std::span<const std::string> args) {
    if ((args.size() != 6 && args.size() != 7) || args[0] != "-d" || args[2] != "-f" || args[3] != "vucmd")
        usage_error(program, "arguments missing, extra or out of order");
    VendorCommand cmd;
    cmd.target = args[1];
    const auto comma = cmd.target.find(',');
    cmd.device = cmd.target.substr(0, comma);
    if (cmd.device.empty()) usage_error(program, "empty device name");
    if (comma != std::string::npos && !(cmd.port = parse_decimal(std::string_view(cmd.target).substr(comma + 1))))
        usage_error(program, "bad port in " + cmd.target);

    const auto cdb = after(args[4], "cdb=");
    if (!cdb || !parse_cdb(*cdb, cmd.cdb))
        usage_error(program, "expected cdb=XX[,XX...] with two hex digits a byte, got " + args[4]);
    cmd.cdb_text = *cdb;

    const auto in_text = after(args[5], "in=");
    const auto in = in_text ? parse_decimal(*in_text) : std::nullopt;
    if (!in) usage_error(program, "expected in=N, got " + args[5]);
    cmd.in = *in;

    if (args.size() == 7) {
        const auto outfile = after(args[6], "outfile=");
        if (!outfile || outfile->empty()) usage_error(program, "expected outfile=PATH, got " + args[6]);
        cmd.outfile = std::string(*outfile);
    }
    return cmd;
}

void fail_if_requested(const Faults& faults, std::string_view command) {
    if (faults.command_fails(command))
        throw SimError(kExitFailed, "command failed (simulated " + std::string(command) + " failure)");
}

// The command returns exactly `bytes` bytes, and takes outfile= exactly when it writes a file.
void expect_size_and_outfile(const VendorCommand& cmd, std::size_t bytes, bool writes_file) {
    const std::string cdb = "cdb=" + cmd.cdb_text;
    if (cmd.in != bytes)
        throw SimError(kExitFailed,
                       cdb + " returns " + std::to_string(bytes) + " bytes, not in=" + std::to_string(cmd.in));
    if (cmd.outfile && !writes_file) throw SimError(kExitFailed, cdb + " does not take outfile=");
    if (!cmd.outfile && writes_file) throw SimError(kExitFailed, cdb + " needs outfile=PATH");
}

void write_file(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw SimError(kExitFailed, "cannot write " + path);
}

// The files the vendor tool leaves in the current folder after a command that
// worked. Failures to write them are ignored: they never change the outcome.
void leave_scratch_files(const Faults& faults, const VendorCommand& cmd, std::string_view data) {
    if (!faults.scratch_files) return;
    std::string in_text = "device=" + cmd.target + "\nfunction=vucmd\ncdb=" + cmd.cdb_text +
                          "\nin=" + std::to_string(cmd.in) + "\n";
    if (cmd.outfile) in_text += "outfile=" + *cmd.outfile + "\n";
    std::ofstream("in.txt", std::ios::binary | std::ios::trunc) << in_text;
    std::ofstream("out.bin", std::ios::binary | std::ios::trunc)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
    std::ofstream("tmp.txt", std::ios::binary | std::ios::trunc) << "status=good\nbytes=" << data.size() << "\n";
}

// Dump lines for the bytes in [from, to), one per row of 16:
//   04C0  73 33 6B 37 6E 30 31 39-78 32 30 30 00 00 00 00  s3k7n019x200....
std::string dump_rows(std::string_view data, std::size_t from, std::size_t to) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t at = from; at < to; at += kRowSize) {
        const std::string_view row = data.substr(at, kRowSize);
        char address[20];
        std::snprintf(address, sizeof address, "%04zX", at);
        text += address;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const auto byte = static_cast<unsigned char>(row[i]);
            text += i == 0 ? "  " : (i == kRowSize / 2 ? "-" : " ");
            text += kHex[byte >> 4];
            text += kHex[byte & 0xF];
        }
        text += "  ";
        for (const char c : row) text += c >= 0x20 && c <= 0x7E ? c : '.';
        text += '\n';
    }
    return text;
}

// A command that worked: its scratch files, then its answer on stdout.
int answer(const Faults& faults, const VendorCommand& cmd, std::string_view data, const std::string& text) {
    leave_scratch_files(faults, cmd, data);
    std::cout << text;
    return 0;
}

std::string list_drives() {
    std::string out = "Device    Port  Model\n";
    for (const Drive& drive : drives()) {
        std::string line(drive.device);
        line.resize(10, ' ');
        line += drive.megaraid_port ? std::to_string(*drive.megaraid_port) : "-";
        line.resize(16, ' ');
        out += line + std::string(drive.model) + "\n";
    }
    return out;
}

int identify_model(const Drive& drive, const VendorCommand& cmd, const Faults& faults) {
    expect_size_and_outfile(cmd, kModelPageSize, false);
    fail_if_requested(faults, "model");
    // Row 0000: the first four model characters, a blank, the rest, a blank and
    // the fixed 00 00 00 20 00 00, cut or padded to one row. The rest is 00.
    const std::string_view model = faults.model ? std::string_view(*faults.model) : drive.model;
    std::string data(model.substr(0, 4));
    data += " " + std::string(model.size() > 4 ? model.substr(4) : "") + " ";
    data += std::string_view("\0\0\0\x20\0\0", 6);
    data.resize(kRowSize, '\0');
    data.resize(kModelPageSize, '\0');
    return answer(faults, cmd, data, std::string(kDumpHeader) + dump_rows(data, 0, data.size()));
}

int read_e2(const Drive& drive, const VendorCommand& cmd, const Faults& faults) {
    expect_size_and_outfile(cmd, kE2PageSize, false);
    fail_if_requested(faults, "e2");
    // All 00 but row 04C0; SIM_E2_ROW_TEXT over SIM_E2_ROW over the table.
    const E2Row row = faults.e2_row.value_or(drive.e2_row);
    std::string data(kE2PageSize, '\0');
    if (row == E2Row::Serial) drive.e2_serial.copy(data.data() + kE2SerialOffset, kRowSize);
    constexpr std::size_t kAfter = kE2SerialOffset + kRowSize;
    std::string row_text = dump_rows(data, kE2SerialOffset, kAfter);
    if (faults.e2_row_text)
        row_text = *faults.e2_row_text + "\n";
    else if (row == E2Row::Missing)
        row_text.clear();
    return answer(faults, cmd, data,
                  std::string(kDumpHeader) + dump_rows(data, 0, kE2SerialOffset) + row_text +
                      dump_rows(data, kAfter, data.size()));
}

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// In this order: the wait, the simulated failure, the dropped file, then the page file.
int save_log_page(const Drive& drive, const VendorCommand& cmd, const Faults& faults) {
    const unsigned page = cmd.cdb[3];
    if (page > kLastPage) throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + ": no such log page");
    expect_size_and_outfile(cmd, kSimPageSize, true);

    if (faults.slow_page && faults.slow_page->page == page)
        std::this_thread::sleep_for(std::chrono::duration<double>(faults.slow_page->seconds));
    fail_if_requested(faults, "pages");
    if (faults.failing_pages.contains(page))
        throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + ": command failed (simulated)");
    if (faults.drop_file && faults.drop_file->page == page)
        write_file(folder_of(*cmd.outfile) + "/" + faults.drop_file->name,
                   "written during page " + std::to_string(page) + "\n");

    std::string data = sim_page_bytes(drive.page_serial, page);
    if (faults.short_pages.contains(page)) data.resize(4096);
    write_file(*cmd.outfile, data);
    const std::string said = "vucmd cdb=" + cmd.cdb_text + ": " + std::to_string(data.size()) + " bytes -> ";
    return answer(faults, cmd, data, said + *cmd.outfile + "\n");
}

}  // namespace

int run_vendor_tool(std::string_view program, std::span<const std::string> args, const Faults& faults) {
    if (args.size() == 1 && args[0] == "-l") {
        fail_if_requested(faults, "list");
        std::cout << list_drives();
        return 0;
    }
    const VendorCommand cmd = parse_vucmd(program, args);
    const Drive* drive = find_drive(cmd.device, cmd.port);
    if (drive == nullptr) throw SimError(kExitFailed, cmd.target + ": no such device");

    const std::vector<unsigned>& cdb = cmd.cdb;
    if (cdb == std::vector<unsigned>{0x21}) return identify_model(*drive, cmd, faults);
    if (cdb == std::vector<unsigned>{0x2D}) return read_e2(*drive, cmd, faults);
    if (cdb.size() == 5 && cdb[0] == 0x1C && cdb[1] == 0xBE && cdb[2] == 0x10 && cdb[4] == 0x00)
        return save_log_page(*drive, cmd, faults);
    throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + ": unsupported command");
}

}  // namespace dumplog::sim
