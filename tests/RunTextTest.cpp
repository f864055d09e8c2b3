#include "RunText.h"
#include "TempFolder.h"
#include "runs/RunFile.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
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
        auto back = runtext::ParseFloat(runtext::FloatText(std::bit_cast<float>(bits)));
        ASSERT_TRUE(back) << std::hex << bits;
        EXPECT_EQ(std::bit_cast<uint32_t>(*back), bits);
    }
    for (auto bad : {"", "1.0x", "abc", "nan:0x3F800000", "+1", "1e99"}) {
        EXPECT_FALSE(runtext::ParseFloat(bad)) << bad;
    }
}

TEST(RunTextTest, CsvAndJsonRoundTripsAreByteIdentical) {
    for (const TasData& data : {AwkwardRun(), TasData()}) {
        const auto report = Report(data);
        const std::string bytes = Bytes(report.data);
        const TasData fromCsv = runtext::ImportCsv(runtext::ExportCsv(report.data), "x.csv",
                                                   runtext::InfoJson(report).dump(2), "x.json");
        EXPECT_EQ(Bytes(fromCsv), bytes);
        const TasData fromJson = runtext::ImportJson(runtext::ExportJson(report), "x.json");
        EXPECT_EQ(Bytes(fromJson), bytes);
    }
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

class ImportRefusalTest : public ::testing::Test {
protected:
    std::string Refusal(const std::string& csv, std::string side = "") {
        if (side.empty()) {
            side = runtext::InfoJson(Report(TasData())).dump();
        }
        try {
            runtext::ImportCsv(csv, "in.csv", side, "in.json");
        } catch (const runtext::ImportError& e) {
            return e.what();
        }
        return "accepted";
    }
    const std::string header = "frame,throttle,steer,pitch,yaw,roll,flip_forward,flip_sideways,"
                               "handbrake,jump,activate_boost,boost_held,jump_held,other_flags\n";
};

TEST_F(ImportRefusalTest, TellsLineAndColumnOfTheFirstProblem) {
    EXPECT_EQ(Refusal("frame,throttle\n"), "in.csv:1:1: missing column \"steer\"");
    EXPECT_EQ(Refusal(header + "0,1,0,0,0,0,0,0,0,0,0,0,0,0x0\n1,1,x,0,0,0,0,0,0,0,0,0,0,0x0\n"),
              "in.csv:3:5: steer is not a number: \"x\"");
    EXPECT_EQ(Refusal(header + "1,1,0,0,0,0,0,0,0,0,0,0,0,0x0\n"),
              "in.csv:2:1: frame 1 out of order, expected 0");
    EXPECT_EQ(Refusal(header + "0,1,0,0,0,0,0,0,2,0,0,0,0,0x0\n"),
              "in.csv:2:17: handbrake is not 0 or 1");
    EXPECT_EQ(Refusal(header + "0,1,0,0,0,0,0,0,0,0,0,0,0,0x1\n"),
              "in.csv:2:27: other_flags is not a hexadecimal number without the five named bits");
    EXPECT_EQ(Refusal(header + "0,1,0\n"), "in.csv:2:1: expected 14 fields, found 3");
}

TEST_F(ImportRefusalTest, SideFileProblemsNameTheirPlace) {
    Json side = runtext::InfoJson(Report(TasData()));
    side["hitbox"] = "Fennec";
    EXPECT_EQ(Refusal(header, side.dump()), "in.json: /hitbox: unknown hitbox name \"Fennec\"");
    side = runtext::InfoJson(Report(TasData()));
    side["car_start"].erase("velocity");
    EXPECT_EQ(Refusal(header, side.dump()), "in.json: /car_start: missing key \"velocity\"");
    EXPECT_EQ(Refusal(header, "{\n  \"status\": ,\n}"), "in.json:2:13: not valid JSON");
}

TEST(ImportJsonRefusal, NamesThePlaceOfTheFirstProblem) {
    TasData data;
    data.Inputs.assign(2, VehicleInput{});
    std::string text = runtext::ExportJson(Report(data));
    auto refusal = [](const std::string& json) -> std::string {
        try {
            runtext::ImportJson(json, "in.json");
        } catch (const runtext::ImportError& e) {
            return e.what();
        }
        return "accepted";
    };
    std::string swapped = text;
    swapped.replace(swapped.find("{\"frame\":1"), 11, "{\"frame\":5");
    EXPECT_EQ(refusal(swapped), "in.json: /inputs/1/frame: out of order, expected 1");
    std::string word = text;
    word.replace(word.find("\"steer\":0"), 9, "\"steer\":\"x\"");
    EXPECT_EQ(refusal(word), "in.json: /inputs/0/steer: is not a number");
    std::string missing = text;
    missing.replace(missing.find(",\"jump_held\":0"), 14, "");
    EXPECT_EQ(refusal(missing), "in.json: /inputs/0: missing key \"jump_held\"");
    EXPECT_EQ(refusal("{\"inputs\": [1]}"),
              "in.json: /inputs/0: is a number, not an object of one frame");
    EXPECT_EQ(refusal("{\n\"inputs\": [}"), "in.json:2:12: not valid JSON");
}

// Runs gyrolog-run and returns its exit status.
int RunTool(const std::string& arguments) {
#if defined(_WIN32)
    const std::string command = std::string(GYROLOG_RUN_PATH) + " " + arguments + " >NUL 2>&1";
    return std::system(command.c_str());
#else
    const std::string command =
        std::string(GYROLOG_RUN_PATH) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
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
    EXPECT_EQ(RunTool("check " + complete.string()), 0);
    EXPECT_EQ(RunTool("check " + complete.string() + " " + shortFile.string()), 1);
    EXPECT_EQ(RunTool("check " + extra.string()), 1);
    EXPECT_EQ(RunTool("check " + extra.string() + " " + rejected.string()), 2);
    EXPECT_EQ(RunTool("check " + (folder.path() / "missing.data").string()), 2);
    EXPECT_EQ(RunTool("check " + tiny.string()), 2);
    EXPECT_EQ(RunTool("export " + tiny.string()), 2);
    EXPECT_EQ(RunTool("info --json " + rejected.string()), 0);
    EXPECT_EQ(RunTool("export " + rejected.string()), 2);
}

TEST(RunToolTest, ExportImportThroughFilesAndRefusalWritesNothing) {
    TempFolder folder;
    const fs::path run = folder.path() / "run.data";
    SaveRunFile(run, AwkwardRun());
    for (auto name : {"run.csv", "run.json"}) {
        const fs::path text = folder.path() / name;
        const fs::path back = folder.path() / (std::string(name) + ".data");
        ASSERT_EQ(RunTool("export " + run.string() + " -o " + text.string()), 0) << name;
        ASSERT_EQ(RunTool("import " + text.string() + " -o " + back.string()), 0) << name;
        EXPECT_EQ(FileText(back), FileText(run)) << name;
    }
    std::ofstream(folder.path() / "run.csv", std::ios::app) << "7,nope\n";
    const fs::path refused = folder.path() / "refused.data";
    EXPECT_EQ(RunTool("import " + (folder.path() / "run.csv").string() + " -o " + refused.string()),
              2);
    EXPECT_FALSE(fs::exists(refused));
    EXPECT_EQ(RunTool("info --help"), 0);
}

} // namespace
