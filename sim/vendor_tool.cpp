#include "vendor_tool.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <optional>
#include <thread>
#include <vector>

#include "drive_table.h"
#include "hex_dump.h"
#include "page_pattern.h"
#include "sim_error.h"
#include "vendor_pages.h"

namespace dumplog::sim {

namespace {

constexpr unsigned kLastPage = 0x7F;

struct VendorCommand {
    std::string target;  // DEVICE[,PORT] as given
    std::string device;
    std::optional<unsigned> port;
    std::vector<std::uint8_t> cdb;
    std::string cdb_text;  // as given
    std::size_t in = 0;
    std::optional<std::string> outfile;
};

[[noreturn]] void usage_error(std::string_view program, std::string_view why) {
    // One line, so a caller that keeps the first stderr line keeps all of it.
    throw SimError(kExitUsage, std::string(why) + " (usage: " + std::string(program) +
                                   " -l | -d DEVICE[,PORT] -f vucmd cdb=XX[,XX...] in=N"
                                   " [outfile=PATH])");
}

template <typename Number>
std::optional<Number> parse_decimal(std::string_view text) {
    Number value{};
    // Plain decimal only: no sign, no blanks, no leading zeros.
    if (text.empty() || text.front() < '0' || text.front() > '9' || (text.size() > 1 && text.front() == '0')) {
        return std::nullopt;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return std::nullopt;
}

std::string_view strip_prefix(std::string_view word, std::string_view prefix, bool& matched) {
    matched = word.starts_with(prefix);
    return matched ? word.substr(prefix.size()) : std::string_view();
}

VendorCommand parse_vucmd(std::string_view program, std::span<const std::string> args) {
    if ((args.size() != 6 && args.size() != 7) || args[0] != "-d" || args[2] != "-f" || args[3] != "vucmd") {
        usage_error(program, "arguments missing, extra or out of order");
    }
    VendorCommand cmd;

    cmd.target = args[1];
    std::string_view target = args[1];
    auto comma = target.find(',');
    cmd.device = std::string(target.substr(0, comma));
    if (cmd.device.empty()) {
        usage_error(program, "empty device name");
    }
    if (comma != std::string_view::npos) {
        cmd.port = parse_decimal<unsigned>(target.substr(comma + 1));
        if (!cmd.port) {
            usage_error(program, "bad port in " + cmd.target);
        }
    }

    bool matched = false;
    std::string_view cdb = strip_prefix(args[4], "cdb=", matched);
    if (!matched || cdb.empty()) {
        usage_error(program, "expected cdb=XX[,XX...], got " + args[4]);
    }
    cmd.cdb_text = std::string(cdb);
    while (true) {
        auto next = cdb.find(',');
        std::string_view pair = cdb.substr(0, next);
        std::optional<int> hi = pair.size() == 2 ? hex_digit(pair[0]) : std::nullopt;
        std::optional<int> lo = pair.size() == 2 ? hex_digit(pair[1]) : std::nullopt;
        if (!hi || !lo) {
            usage_error(program, "cdb bytes are two hex digits each, got " + args[4]);
        }
        cmd.cdb.push_back(static_cast<std::uint8_t>(*hi * 16 + *lo));
        if (next == std::string_view::npos) {
            break;
        }
        cdb.remove_prefix(next + 1);
    }

    auto in = parse_decimal<std::size_t>(strip_prefix(args[5], "in=", matched));
    if (!matched || !in) {
        usage_error(program, "expected in=N, got " + args[5]);
    }
    cmd.in = *in;

    if (args.size() == 7) {
        std::string_view outfile = strip_prefix(args[6], "outfile=", matched);
        if (!matched || outfile.empty()) {
            usage_error(program, "expected outfile=PATH, got " + args[6]);
        }
        cmd.outfile = std::string(outfile);
    }
    return cmd;
}

void fail_if_requested(const Faults& faults, std::string_view command) {
    if (faults.command_fails(command)) {
        throw SimError(kExitFailed, "command failed (simulated " + std::string(command) + " failure)");
    }
}

void write_file(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw SimError(kExitFailed, "cannot write " + path);
    }
}

// The scratch files the tool leaves in the current folder after a command.
// Failures are ignored: they never change the command's outcome.
void leave_scratch_files(const Faults& faults, const VendorCommand& cmd, std::string_view data) {
    if (!faults.scratch_files) {
        return;
    }
    std::string in_text = "device=" + cmd.target + "\nfunction=vucmd\ncdb=" + cmd.cdb_text +
                          "\nin=" + std::to_string(cmd.in) + "\n";
    if (cmd.outfile) {
        in_text += "outfile=" + *cmd.outfile + "\n";
    }
    std::ofstream("in.txt", std::ios::binary | std::ios::trunc) << in_text;
    std::ofstream("out.bin", std::ios::binary | std::ios::trunc)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
    std::ofstream("tmp.txt", std::ios::binary | std::ios::trunc) << "status=good\nbytes=" << data.size() << "\n";
}

std::string list_drives() {
    std::string out = "Device    Port  Model\n";
    for (const SimDrive& drive : sim_drives()) {
        std::string line(drive.device);
        line.resize(10, ' ');
        line += drive.megaraid_port ? std::to_string(*drive.megaraid_port) : "-";
        line.resize(16, ' ');
        out += line + std::string(drive.model) + "\n";
    }
    return out;
}

void expect_in(const VendorCommand& cmd, std::size_t expected) {
    if (cmd.in != expected) {
        throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + " returns " + std::to_string(expected) +
                                        " bytes, not in=" + std::to_string(cmd.in));
    }
}

void expect_no_outfile(const VendorCommand& cmd) {
    if (cmd.outfile) {
        throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + " does not take outfile=");
    }
}

std::string dump(std::string_view data, std::optional<std::string_view> row_4c0_line, bool skip_4c0) {
    std::string out = dump_header();
    for (std::size_t at = 0; at < data.size(); at += kDumpRowSize) {
        if (at == kE2SerialOffset && row_4c0_line) {
            out += *row_4c0_line;
            out += '\n';
        } else if (at == kE2SerialOffset && skip_4c0) {
            continue;
        } else {
            out += dump_row(at, data.substr(at, kDumpRowSize));
        }
    }
    return out;
}

int identify_model(const SimDrive& drive, const VendorCommand& cmd, const Faults& faults) {
    expect_in(cmd, kModelPageSize);
    expect_no_outfile(cmd);
    fail_if_requested(faults, "model");
    std::string data = model_page(faults.model ? *faults.model : drive.model);
    std::string text = dump(data, std::nullopt, false);
    leave_scratch_files(faults, cmd, data);
    std::cout << text;
    return 0;
}

int read_e2(const SimDrive& drive, const VendorCommand& cmd, const Faults& faults) {
    expect_in(cmd, kE2PageSize);
    expect_no_outfile(cmd);
    fail_if_requested(faults, "e2");

    E2Row row = faults.e2_row.value_or(drive.e2_row);
    std::string data = e2_page(row, drive.e2_serial);
    std::optional<std::string_view> row_text;
    if (faults.e2_row_text) {
        row_text = *faults.e2_row_text;
    }
    std::string text = dump(data, row_text, row == E2Row::Missing);
    leave_scratch_files(faults, cmd, data);
    std::cout << text;
    return 0;
}

std::string folder_of(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int save_log_page(const SimDrive& drive, const VendorCommand& cmd, const Faults& faults) {
    unsigned page = cmd.cdb[3];
    if (page > kLastPage) {
        throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + ": no such log page");
    }
    expect_in(cmd, kSimPageSize);
    if (!cmd.outfile) {
        throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + " needs outfile=PATH");
    }

    if (faults.slow_page && faults.slow_page->page == page) {
        std::this_thread::sleep_for(std::chrono::duration<double>(faults.slow_page->seconds));
    }
    fail_if_requested(faults, "pages");
    if (faults.failing_pages.count(page) != 0) {
        throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + ": command failed (simulated)");
    }
    if (faults.drop_file && faults.drop_file->page == page) {
        write_file(folder_of(*cmd.outfile) + "/" + faults.drop_file->name,
                   "written during page " + std::to_string(page) + "\n");
    }

    std::string data = sim_page_bytes(drive.page_serial, page);
    if (faults.short_pages.count(page) != 0) {
        data.resize(4096);
    }
    write_file(*cmd.outfile, data);
    leave_scratch_files(faults, cmd, data);
    std::cout << "vucmd cdb=" << cmd.cdb_text << ": " << data.size() << " bytes -> " << *cmd.outfile << "\n";
    return 0;
}

}  // namespace

int run_vendor_tool(std::string_view program, std::span<const std::string> args, const Faults& faults) {
    if (args.size() == 1 && args[0] == "-l") {
        fail_if_requested(faults, "list");
        std::cout << list_drives();
        return 0;
    }
    VendorCommand cmd = parse_vucmd(program, args);

    const SimDrive* drive = find_drive(cmd.device, cmd.port);
    if (drive == nullptr) {
        throw SimError(kExitFailed, cmd.target + ": no such device");
    }

    const std::vector<std::uint8_t>& cdb = cmd.cdb;
    if (cdb.size() == 1 && cdb[0] == 0x21) {
        return identify_model(*drive, cmd, faults);
    }
    if (cdb.size() == 1 && cdb[0] == 0x2D) {
        return read_e2(*drive, cmd, faults);
    }
    if (cdb.size() == 5 && cdb[0] == 0x1C && cdb[1] == 0xBE && cdb[2] == 0x10 && cdb[4] == 0x00) {
        return save_log_page(*drive, cmd, faults);
    }
    throw SimError(kExitFailed, "cdb=" + cmd.cdb_text + ": unsupported command");
}

}  // namespace dumplog::sim
