#include "RunText.h"
#include "TempFolder.h"
#include "TextRules.h"
#include "runs/files/RunFile.h"
#include "ui/InputsView.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using runtext::Json;

std::string Bytes(const TasData& data) {
    std::ostringstream stream;
    WriteTas(stream, data);
    return stream.str();
}

std::string FileText(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

// A run with every awkward value a file can hold.
TasData AwkwardRun() {
    TasData data;
    VehicleInput odd;
    odd.Throttle = std::bit_cast<float>(0x7FC12345u); // NaN with a payload
    odd.Steer = -0.0f;
    odd.Pitch = std::bit_cast<float>(0xFF800001u); // signalling NaN, sign set
    odd.Yaw = 1e-45f;
    odd.Roll = -INFINITY;
    odd.FlipForward = 0.1f;
    odd.FlipSideways = 3.4028235e38f;
    odd.Flags = 0xFFFFFFF5;
    data.Inputs = {odd, VehicleInput{}, odd};
    data.TeleportFrames = {0, 2, 99};
    data.CarStart = {{1.5f, -0.0f, 17}, {-1, 2147483647, -2147483647 - 1}, {}, {0, 0, 1}, true};
    data.BallStart.Location.Z = std::nanf("");
    data.Hitbox = static_cast<HitboxType>(42);
    data.AirSensitivity = -0.0f;
    data.SteerSensitivity = std::bit_cast<float>(0x7FC00001u);
    return data;
}

runtext::FileReport Report(const TasData& data) {
    runtext::FileReport report;
    report.status = runtext::FileStatus::Complete;
    report.version = 1;
    report.size = report.expectedSize = TasFileSize(data.Inputs.size(), data.TeleportFrames.size());
    report.data.Inputs = data.Inputs;
    report.data.TeleportFrames = data.TeleportFrames;
    report.data.CarStart = data.CarStart;
    report.data.BallStart = data.BallStart;
    report.data.Hitbox = data.Hitbox;
    report.data.AirSensitivity = data.AirSensitivity;
    report.data.SteerSensitivity = data.SteerSensitivity;
    return report;
}

TEST(RunTextTest, FloatTextReadsBackToTheSameBits) {
    EXPECT_EQ(runtext::FloatText(0.1f), "0.1");
    EXPECT_EQ(runtext::FloatText(-0.0f), "-0");
    EXPECT_EQ(runtext::FloatText(INFINITY), "inf");
    EXPECT_EQ(runtext::FloatText(std::nanf("")), "nan");
    EXPECT_EQ(runtext::FloatText(std::bit_cast<float>(0xFFC00001u)), "nan:0xFFC00001");
    for (uint32_t bits : {0x3DCCCCCDu, 0x80000000u, 0x00000001u, 0x7F7FFFFFu, 0x7FC12345u,
                          0xFF800001u, 0xFF800000u}) {
        float back = 0;
        ASSERT_TRUE(runtext::ParseFloat(runtext::FloatText(std::bit_cast<float>(bits)), back))
            << std::hex << bits;
        EXPECT_EQ(std::bit_cast<uint32_t>(back), bits);
    }
    for (auto bad : {"", "1.0x", "abc", "nan:0x3F800000", "+1", "1e99"}) {
        float value = 0;
        EXPECT_FALSE(runtext::ParseFloat(bad, value)) << bad;
    }
}

// A complete file as players may hold one: odd Enabled bytes and padding.
std::string OddBlockBytes(const TasData& data) {
    std::string bytes = Bytes(data);
    const size_t car = bytes.size() - 116; // two blocks, hitbox and sensitivities
    bytes[car + 48] = 2;
    bytes[car + 51] = 7;
    bytes[car + 52 + 49] = 9;
    return bytes;
}

TEST(RunTextTest, CsvAndJsonRoundTripsAreByteIdentical) {
    TempFolder folder;
    const fs::path file = folder.path() / "run.data";
    for (const std::string& bytes :
         {Bytes(AwkwardRun()), Bytes(TasData()), OddBlockBytes(AwkwardRun())}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        const auto report = runtext::Inspect(file);
        ASSERT_EQ(report.status, runtext::FileStatus::Complete);
        const auto fromCsv = runtext::ImportCsv(runtext::ExportCsv(report.data), "x.csv",
                                                runtext::InfoJson(report).dump(2), "x.json");
        EXPECT_EQ(runtext::RunFileBytes(fromCsv), bytes);
        const std::string json = runtext::ExportJson(report);
        EXPECT_EQ(runtext::RunFileBytes(runtext::ImportJson(json, "x.json")), bytes);
        // Strings written with escapes read as the characters they stand for.
        std::string escaped = json;
        for (const auto& [plain, written] :
             {std::pair<std::string_view, std::string_view>{"\"0x", "\"\\u0030x"},
              {"\"nan", "\"\\u006Ean"}}) {
            for (size_t at = 0; (at = escaped.find(plain, at)) != std::string::npos;) {
                escaped.replace(at, plain.size(), written);
            }
        }
        EXPECT_EQ(escaped.find("\\u0030x") != std::string::npos, !report.data.Inputs.empty());
        EXPECT_EQ(runtext::RunFileBytes(runtext::ImportJson(escaped, "x.json")), bytes);
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << OddBlockBytes(TasData());
    const Json info = runtext::InfoJson(runtext::Inspect(file));
    EXPECT_EQ(info["car_start"]["enabled"], true);
    EXPECT_EQ(info["car_start"]["enabled_byte"], 2);
    EXPECT_EQ(info["car_start"]["padding"].dump(), "[0,0,7]");
    EXPECT_EQ(info["ball_start"]["padding"].dump(), "[9,0,0]");
    EXPECT_FALSE(info["ball_start"].contains("enabled_byte"));
}

TEST(RunTextTest, CsvRowsNameEveryControl) {
    TasData data;
    VehicleInput input;
    input.Throttle = 1;
    input.Steer = -0.5f;
    input.Flags = VehicleInputFlag::Jump | VehicleInputFlag::BoostHeld | (1u << 9);
    data.Inputs = {input};
    EXPECT_EQ(runtext::ExportCsv(data),
              "frame,throttle,steer,pitch,yaw,roll,flip_forward,flip_sideways,handbrake,jump,"
              "activate_boost,boost_held,jump_held,other_flags\n"
              "0,1,-0.5,0,0,0,0,0,0,1,0,1,0,0x200\n");
}

// The Inputs tab heads its columns and writes its cells as the export does.
TEST(RunTextTest, InputsTabSpellsColumnsAndCellsAsTheCsv) {
    ASSERT_EQ(inputs::ColumnNames.size(), runtext::CsvColumns.size());
    for (size_t i = 0; i < runtext::CsvColumns.size(); ++i) {
        EXPECT_EQ(inputs::ColumnNames[i], runtext::CsvColumns[i]);
    }
    TasData data;
    VehicleInput input;
    input.Throttle = 1.0f / 3.0f;
    input.Steer = -1e-20f;
    input.Yaw = 0.1f;
    input.Flags = VehicleInputFlag::Handbrake | VehicleInputFlag::JumpHeld | 0xABC00u;
    data.Inputs = {VehicleInput{}, input};
    // The cells are short; their tooltips hold the exact values, as the CSV.
    std::string row;
    std::string exact;
    const auto cells = inputs::Cells(1, input);
    for (size_t c = 0; c < cells.size(); ++c) {
        const auto control = inputs::ControlOfColumn(c);
        const bool analog = control && !IsFlagControl(*control);
        row += (row.empty() ? "" : ",") + cells[c];
        exact += (exact.empty() ? "" : ",") +
                 (analog ? inputs::FloatText(ControlValue(input, *control)) : cells[c]);
    }
    const std::string csv = runtext::ExportCsv(data);
    EXPECT_EQ(csv.substr(csv.rfind('\n', csv.size() - 2) + 1), exact + "\n");
    EXPECT_EQ(row, "1,0.33,0,0,0.1,0,0,0,1,0,0,0,1,0xABC00");
}

TEST(RunTextTest, InfoJsonHasExactlyTheDocumentedKeys) {
    const Json info = runtext::InfoJson(Report(AwkwardRun()));
    std::vector<std::string> keys;
    for (auto& [key, value] : info.items()) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys,
              (std::vector<std::string>{"status", "version", "size", "expected_size", "frames",
                                        "teleport_frames", "car_start", "ball_start", "hitbox",
                                        "hitbox_value", "air_sensitivity", "steer_sensitivity"}));
    EXPECT_EQ(info["hitbox"], "Other");
    EXPECT_EQ(info["hitbox_value"], 42);
    EXPECT_EQ(info["steer_sensitivity"], "nan:0x7FC00001");
    EXPECT_EQ(info["car_start"].dump(),
              "{\"location\":[1.5,-0.0,17.0],\"rotation\":[-1,2147483647,-2147483648],"
              "\"velocity\":[0.0,0.0,0.0],\"angular_velocity\":[0.0,0.0,1.0],\"enabled\":true}");

    runtext::FileReport rejected;
    rejected.version = 2;
    rejected.size = 136;
    EXPECT_EQ(runtext::InfoJson(rejected).dump(),
              "{\"status\":\"rejected\",\"version\":2,\"size\":136}");
}

const std::string Header = "frame,throttle,steer,pitch,yaw,roll,flip_forward,flip_sideways,"
                           "handbrake,jump,activate_boost,boost_held,jump_held,other_flags\n";
const std::string Row = "0,1,0,0,0,0,0,0,0,0,0,0,0,0x0\n";

std::string SideText() {
    return runtext::InfoJson(Report(TasData())).dump();
}

// A side file or JSON export with one key's value replaced by raw text.
std::string WithValue(std::string json, const std::string& key, const std::string& raw) {
    size_t at = json.find("\"" + key + "\":") + key.size() + 3;
    while (json[at] == ' ') {
        ++at;
    }
    size_t end = at;
    for (int depth = 0; depth > 0 || (json[end] != ',' && json[end] != '}'); ++end) {
        depth += json[end] == '[' || json[end] == '{';
        depth -= json[end] == ']' || json[end] == '}';
    }
    return json.replace(at, end - at, raw);
}

std::string OneFrameJson() {
    TasData data;
    data.Inputs.assign(1, VehicleInput{});
    return runtext::ExportJson(Report(data));
}

std::string Refusal(const std::string& csv, const std::string& side, const std::string& json) {
    try {
        if (json.empty()) {
            runtext::ImportCsv(csv, "in.csv", side, "in.json");
        } else {
            runtext::ImportJson(json, "in.json");
        }
    } catch (const runtext::ImportError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(RunTextTest, ImportsRefuseHostileTextSayingWhereAndWhat) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string longValue(200000, 'x');
    const std::string side = SideText();
    const std::string json = OneFrameJson();
    std::string tooDeep = "in.json: /notes";
    for (int level = 2; level < 64; ++level) {
        tooDeep += "/0";
    }
    tooDeep += ": nests deeper than 64 levels";
    struct Case {
        std::string csv, side, json, message;
    };
    const Case cases[] = {
        // CSV lines
        {"frame,throttle\n", side, "", "in.csv:1:1: missing column \"steer\""},
        {Header + Row + "1,1,x,0,0,0,0,0,0,0,0,0,0,0x0\n", side, "",
         "in.csv:3:5: steer is not a number: \"x\""},
        {Header + "1,1,0,0,0,0,0,0,0,0,0,0,0,0x0\n", side, "",
         "in.csv:2:1: frame out of order, expected 0: \"1\""},
        {Header + "0,1,0,0,0,0,0,0,2,0,0,0,0,0x0\n", side, "",
         "in.csv:2:17: handbrake is not 0 or 1: \"2\""},
        {Header + "0,1,0,0,0,0,0,0,0,0,0,0,0,0x1\n", side, "",
         "in.csv:2:27: other_flags is not a hexadecimal number 0x... without the five named "
         "bits: \"0x1\""},
        {Header + "0,1,0\n", side, "", "in.csv:2:1: expected 14 fields, found 3"},
        {Header + std::string(200000, ',') + "\n", side, "",
         "in.csv:2:1: line is longer than 1024 characters"},
        {Header + "0," + std::string(500, '7') + ",0,0,0,0,0,0,0,0,0,0,0,0x0\n", side, "",
         "in.csv:2:3: throttle is out of range for a 32-bit float: "
         "\"77777777777777777777777777777777\"... (500 characters)"},
        // One rule for numbers in CSV and JSON alike
        {Header + "0,1e-50,0,0,0,0,0,0,0,0,0,0,0,0x0\n", side, "",
         "in.csv:2:3: throttle is out of range for a 32-bit float: \"1e-50\""},
        {"", "", WithValue(json, "throttle", "1e-50"),
         "in.json: /inputs/0/throttle: is out of range for a 32-bit float: \"1e-50\""},
        {Header + "18446744073709551616,0,0,0,0,0,0,0,0,0,0,0,0,0x0\n", side, "",
         "in.csv:2:1: frame is out of range for a 64-bit count: \"18446744073709551616\""},
        {Header, WithValue(side, "teleport_frames", "[1,-1]"), "",
         "in.json: /teleport_frames/1: is out of range for a 64-bit count: \"-1\""},
        {Header, WithValue(side, "hitbox_value", "2147483648"), "",
         "in.json: /hitbox_value: is out of range for a 32-bit integer: \"2147483648\""},
        {"", "", WithValue(json, "frame", "1.0"),
         "in.json: /inputs/0/frame: is not a whole number: \"1.0\""},
        {"", "", WithValue(json, "steer", "\"x\""),
         "in.json: /inputs/0/steer: is not a number: \"x\""},
        {"", "", WithValue(json, "jump", "true"),
         "in.json: /inputs/0/jump: is not 0 or 1: \"true\""},
        // Every key its type, once, at every depth
        {"", "", WithValue(json, "inputs", "5"), "in.json: /inputs: is not an array of frames"},
        {"", "", WithValue(json, "inputs", "null"), "in.json: /inputs: is not an array of frames"},
        {"", "", WithValue(json, "inputs", "{}"), "in.json: /inputs: is not an array of frames"},
        {"", "", WithValue(json, "inputs", "[1]"),
         "in.json: /inputs/0: is not an object of one frame"},
        {"", "", WithValue(json, "jump_held", "0,\"jump\":1"),
         "in.json: /inputs/0/jump: appears twice"},
        {"", "", WithValue(json, "hitbox", "\"Octane\",\"hitbox\":\"Octane\""),
         "in.json: /hitbox: appears twice"},
        {Header, WithValue(side, "enabled", "true,\"enabled\":true"), "",
         "in.json: /car_start/enabled: appears twice"},
        {Header, WithValue(side, "car_start", "{}"), "",
         "in.json: /car_start/location: is missing"},
        {"", "", "{\"inputs\":[]}", "in.json: /teleport_frames: is missing"},
        {"", "", "[]", "in.json: is not a JSON object"},
        {Header, WithValue(side, "location", "[1,2]"), "",
         "in.json: /car_start/location: is not an array of three numbers"},
        {Header, WithValue(side, "hitbox", '"' + longValue + '"'), "",
         "in.json: /hitbox: is not a hitbox name: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\"... "
         "(200000 characters)"},
        {Header, WithValue(side, "enabled", "false,\"enabled_byte\":2"), "",
         "in.json: /car_start/enabled_byte: 2 does not match \"enabled\": false"},
        {Header, WithValue(side, "hitbox", "\"Octane\",\"inputs\":[]"), "",
         "in.json: /inputs: is in a side file: the frames of a CSV import come from the CSV"},
        // Nesting and syntax
        {Header, WithValue(side, "hitbox", "\"Other\",\"notes\":" + deep), "", tooDeep},
        {"", "", WithValue(json, "hitbox", "\"Other\",\"notes\":" + deep), tooDeep},
        {Header, "{\n  \"status\": ,\n}", "",
         "in.json:2:13: not valid JSON: The JSON document has an improper structure: missing or "
         "superfluous commas, braces, missing keys, etc."},
        {"", "", "{} {}", "in.json:1:4: not valid JSON: text after the document"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Refusal(c.csv, c.side, c.json), c.message)
            << c.csv.substr(0, 80) << c.json.substr(0, 80);
    }
    EXPECT_EQ(Refusal(Header + Row, side, ""), "accepted");
    EXPECT_EQ(Refusal("", "", json), "accepted");
}

struct ToolRun {
    int status = -1;
    std::string output; // standard output and error
};

ToolRun Tool(const std::string& arguments) {
    const std::string command = std::string(GYROLOG_RUN_PATH) + " " + arguments + " 2>&1";
    ToolRun run;
#if defined(_WIN32)
    // Text mode: the tool ends its console lines with CR LF there, as Windows
    // programs do; the pipe turns them back into the lines compared below.
    FILE* pipe = _popen(command.c_str(), "r");
#else
    FILE* pipe = popen(command.c_str(), "r");
#endif
    if (!pipe) {
        ADD_FAILURE() << "cannot start " << command << ": " << std::strerror(errno);
        return run;
    }
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.output.append(buffer, n);
    }
#if defined(_WIN32)
    run.status = _pclose(pipe);
#else
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return run;
}

// A path as one argument, even where the temporary folder's path holds spaces.
std::string Arg(const fs::path& path) {
    return '"' + path.string() + '"';
}

int RunTool(const std::string& arguments) {
    return Tool(arguments).status;
}

TEST(RunToolTest, CheckExitStatusFollowsTheWorstFile) {
    TempFolder folder;
    const fs::path complete = folder.path() / "complete.data";
    const fs::path shortFile = folder.path() / "short.data";
    const fs::path extra = folder.path() / "extra.data";
    const fs::path rejected = folder.path() / "rejected.data";
    const std::string bytes = Bytes(AwkwardRun());
    std::ofstream(complete, std::ios::binary) << bytes;
    std::ofstream(shortFile, std::ios::binary) << bytes.substr(0, 50);
    std::ofstream(extra, std::ios::binary) << bytes << "more";
    std::ofstream(rejected, std::ios::binary) << std::string("\x02\x00\x00\x00", 4);
    const fs::path tiny = folder.path() / "tiny.data";
    std::ofstream(tiny, std::ios::binary) << std::string("\x01\x00\x00", 3);
    EXPECT_EQ(RunTool("check " + Arg(complete)), 0);
    EXPECT_EQ(RunTool("check " + Arg(complete) + " " + Arg(shortFile)), 1);
    EXPECT_EQ(RunTool("check " + Arg(extra)), 1);
    EXPECT_EQ(RunTool("check " + Arg(extra) + " " + Arg(rejected)), 2);
    EXPECT_EQ(RunTool("check " + Arg(folder.path() / "missing.data")), 2);
    EXPECT_EQ(RunTool("check " + Arg(tiny)), 2);
    EXPECT_EQ(RunTool("export " + Arg(tiny)), 2);
    EXPECT_EQ(RunTool("info --json " + Arg(rejected)), 0);
    EXPECT_EQ(RunTool("export " + Arg(rejected)), 2);
}

// A path that starts at the root of the drive, as Windows paths may.
TEST(RunToolTest, PathsFromTheRootAreNoOptions) {
    const fs::path file = fs::current_path() / "root-path-test.data";
    std::ofstream(file, std::ios::binary) << Bytes(AwkwardRun());
    const std::string fromRoot = "/" + file.relative_path().generic_string();
    const ToolRun run = Tool("info \"" + fromRoot + "\"");
    fs::remove(file);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(run.output.starts_with("file: ")) << run.output;
}

TEST(RunToolTest, InfoReportsTheTraceFileAndWhetherItBelongs) {
    TempFolder folder;
    const fs::path run = folder.path() / "run.data";
    TasData data = AwkwardRun();
    EXPECT_NE(Tool("info " + run.string() + "x").status, 0);
    SaveRunFile(run, data);
    EXPECT_NE(Tool("info " + run.string()).output.find("trace: none"), std::string::npos);
    data.Trace.assign(3, TraceEntry{});
    SaveRunFile(run, data);
    EXPECT_NE(Tool("info " + run.string()).output.find("trace: 3 frames, belongs to the run"),
              std::string::npos);
    const std::string json = Tool("info --json " + run.string()).output;
    EXPECT_NE(json.find("\"frames\": 3,"),
              json.rfind("\"frames\": 3,")); // the run's and the trace's
    EXPECT_NE(json.find("\"belongs\": true"), std::string::npos);
    // A trace of the first frames: replays are checked that far.
    data.Trace.assign(2, TraceEntry{});
    SaveRunFile(run, data);
    EXPECT_NE(Tool("info " + run.string()).output.find("trace: 2 of 3 frames, belongs to the run"),
              std::string::npos);
    EXPECT_NE(Tool("info --json " + run.string()).output.find("\"frames\": 2,"), std::string::npos);
    data.Trace.assign(3, TraceEntry{});
    SaveRunFile(run, data);

    const std::string trace = FileText(TracePath(run));
    data.Inputs.pop_back();
    data.Trace.clear();
    SaveRunFile(run, data);
    std::ofstream(TracePath(run), std::ios::binary) << trace;
    EXPECT_NE(Tool("info " + run.string())
                  .output.find("trace: 3 frames, does not belong to the run: it holds 3 "
                               "frames, the run has 2"),
              std::string::npos);

    // An empty file holds no trace; one that ends inside its header has no
    // count to tell (here 7 of its 8 bytes).
    const struct {
        size_t bytes;
        const char* text;
        const char* json;
    } cases[] = {{0, "trace: none\n", "\"trace\": null"},
                 {23, "trace: cut short\n", "\"frames\": null"}};
    for (const auto& c : cases) {
        std::ofstream(TracePath(run), std::ios::binary) << trace.substr(0, c.bytes);
        const std::string text = Tool("info " + run.string()).output;
        EXPECT_NE(text.find(c.text), std::string::npos) << text;
        EXPECT_EQ(text.find("frames, "), std::string::npos) << text;
        const std::string json = Tool("info --json " + run.string()).output;
        EXPECT_NE(json.find(c.json), std::string::npos) << json;
    }
}

TEST(RunToolTest, ExportImportThroughFilesAndRefusalWritesNothing) {
    TempFolder folder;
    const fs::path run = folder.path() / "run.data";
    SaveRunFile(run, AwkwardRun());
    for (auto name : {"run.csv", "run.json"}) {
        const fs::path text = folder.path() / name;
        const fs::path back = folder.path() / (std::string(name) + ".data");
        ASSERT_EQ(RunTool("export " + Arg(run) + " -o " + Arg(text)), 0) << name;
        ASSERT_EQ(RunTool("import " + Arg(text) + " -o " + Arg(back)), 0) << name;
        EXPECT_EQ(FileText(back), FileText(run)) << name;
    }
    std::ofstream(folder.path() / "run.csv", std::ios::app) << "7,nope\n";
    const fs::path refused = folder.path() / "refused.data";
    EXPECT_EQ(RunTool("import " + Arg(folder.path() / "run.csv") + " -o " + Arg(refused)), 2);
    EXPECT_FALSE(fs::exists(refused));
    EXPECT_EQ(RunTool("info --help"), 0);
}

TEST(RunToolTest, MessagesNameTheFileGivenAndSayWhatIsWrong) {
    TempFolder folder;
    const auto at = [&](const char* name) {
        return folder.path() / name;
    };
    std::string huge = Bytes(TasData());
    huge[9] = 1; // N = 2^40
    std::ofstream(at("huge.data"), std::ios::binary) << huge;
    EXPECT_EQ(Tool("check " + Arg(at("huge.data"))).output,
              at("huge.data").string() +
                  ": rejected (version 1: frame count 1099511627776 is far more than the file "
                  "holds)\n");
    const ToolRun missing = Tool("import " + Arg(at("missing.csv")) + " -o x.data");
    EXPECT_EQ(missing.output,
              "gyrolog-run: cannot open " + at("missing.csv").string() + ": no such file\n");
    fs::create_directory(at("folder.json"));
    EXPECT_EQ(Tool("import " + Arg(at("folder.json")) + " -o x.data").output,
              "gyrolog-run: cannot open " + at("folder.json").string() + ": it is a folder\n");

    std::ofstream(at("extra.data"), std::ios::binary) << Bytes(AwkwardRun()) << "more";
    const ToolRun extra = Tool("export " + Arg(at("extra.data")) + " -o " + Arg(at("extra.json")));
    EXPECT_EQ(extra.status, 0);
    EXPECT_EQ(extra.output, "gyrolog-run: warning: " + at("extra.data").string() +
                                " has 4 bytes after the run; they are not exported\n");
}

TEST(RunToolTest, CsvExportWritesBothFilesOrNeither) {
    TempFolder folder;
    const fs::path run = folder.path() / "run.data";
    SaveRunFile(run, AwkwardRun());
    const fs::path json = folder.path() / "run.json";
    const ToolRun onItself = Tool("export --csv " + Arg(run) + " -o " + Arg(json));
    EXPECT_EQ(onItself.status, 2);
    EXPECT_EQ(onItself.output, "gyrolog-run: a CSV export cannot go to " + json.string() +
                                   ": its side file has that name; use -o NAME.csv\n");
    EXPECT_FALSE(fs::exists(json));

    const fs::path csv = folder.path() / "run.csv";
    std::ofstream(csv) << "old";
    fs::create_directory(json);
    EXPECT_EQ(RunTool("export " + Arg(run) + " -o " + Arg(csv)), 2);
    EXPECT_EQ(FileText(csv), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);

    // A folder of a name an export could write aside under is not its own:
    // it stays, and the export writes under a name of its own.
    fs::remove(json);
    fs::create_directory(folder.path() / "run.csv.saving");
    EXPECT_EQ(RunTool("export " + Arg(run) + " -o " + Arg(csv)), 0);
    EXPECT_NE(FileText(csv), "old");
    EXPECT_TRUE(fs::is_directory(folder.path() / "run.csv.saving"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 4);
}

} // namespace
