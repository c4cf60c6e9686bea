#include "host/LiveSession.h"

#include "device/Device.h"
#include "dispatch/dispatch.h"
#include "foundation/PropertyList.h"
#include "host/DeviceSetup.h"
#include "host/Json.h"
#include "host/LiveFrames.h"
#include "tools/PreferenceFile.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

namespace camera {

namespace {

// Commands run at device times on a 10 ms grid, so that the waits between
// them are written exactly and a replay meets every task at the same point.
constexpr uint64_t kGrid = NSEC_PER_SEC / 100;
constexpr size_t kLongestLine = 256;
constexpr size_t kLargestShownFile = 64 * 1024;

std::vector<std::string> split(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::string joined(const std::vector<std::string>& words)
{
    std::string line;
    for (const auto& word : words)
        line += (line.empty() ? "" : " ") + word;
    return line;
}

std::string formatNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// The shortest text that reads back as the same number (as the same float
// for a value stored as one).
std::string shortestNumber(double value, bool isFloat)
{
    char text[40];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        double back = std::strtod(text, nullptr);
        if (isFloat ? static_cast<float>(back) == static_cast<float>(value) : back == value)
            break;
    }
    return text;
}

bool isKind(Object* value, Class cls)
{
    return value && class_isSubclassOf(value->isa(), cls);
}

// A preference value as scenario lines write it, with its type; empty type
// for a value the scenario language has no form for.
std::string describePreference(Object* value, std::string& type)
{
    if (isKind(value, NSNumber::staticClass())) {
        auto* number = static_cast<NSNumber*>(value);
        if (number->kind() == NSNumber::Kind::Bool) {
            type = "bool";
            return number->boolValue() ? "true" : "false";
        }
        type = "float";
        // A real that a float holds exactly was most likely written from one.
        double real = number->doubleValue();
        return shortestNumber(real, number->kind() == NSNumber::Kind::Float || static_cast<double>(static_cast<float>(real)) == real);
    }
    if (isKind(value, NSString::staticClass())) {
        type = "string";
        return static_cast<NSString*>(value)->string();
    }
    type.clear();
    return value ? NSPropertyListSummary(value) : "";
}

std::string keyName(Object* key)
{
    return isKind(key, NSString::staticClass()) ? static_cast<NSString*>(key)->string() : NSPropertyListSummary(key);
}

} // namespace

LiveSession::LiveSession(Runner& runner)
    : m_runner(runner)
    , m_wallStart(Clock::now())
    , m_deviceStart(runner.now())
{
}

uint64_t LiveSession::deviceTimeAt(Clock::time_point time) const
{
    auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(time - m_wallStart).count();
    return m_deviceStart + static_cast<uint64_t>(std::max<int64_t>(elapsed, 0));
}

void LiveSession::catchUp()
{
    m_runner.advanceClockTo(deviceTimeAt(Clock::now()));
}

void LiveSession::advanceToGrid()
{
    uint64_t now = std::max(deviceTimeAt(Clock::now()), m_runner.now());
    m_runner.advanceClockTo((now + kGrid - 1) / kGrid * kGrid);
}

std::optional<LiveSession::Clock::time_point> LiveSession::nextTaskDue()
{
    std::string answer;
    if (!ask("live-next", answer) || answer == "none")
        return std::nullopt;
    uint64_t time = std::strtoull(answer.c_str(), nullptr, 10);
    if (time <= m_deviceStart)
        return m_wallStart;
    return m_wallStart + std::chrono::nanoseconds(time - m_deviceStart);
}

bool LiveSession::ask(const std::string& request, std::string& answer)
{
    answer.clear();
    if (!m_runner.appRunning())
        return false;
    auto result = m_runner.askCamera(request);
    if (!result.isOk())
        return false;
    answer = result.message;
    return true;
}

std::string LiveSession::checkLine(const std::string& line)
{
    if (line.size() > kLongestLine)
        return "a command is at most " + std::to_string(kLongestLine) + " characters";
    for (unsigned char c : line) {
        if (c < 0x20 || c == 0x7f)
            return "a command is one line of text, without control characters";
        if (c == '#')
            return "a command has no comment (#)";
    }
    auto words = split(line);
    if (words.empty())
        return "the command is empty";
    const std::string& command = words[0];
    if (command == "wait")
        return "the live clock follows real time: the recording writes the waits";
    if (command == "screenshot")
        return "the page shows the screen: screenshots are taken by scenarios";
    if (command == "editor") {
        for (size_t i = 1; i < words.size(); ++i) {
            if (words[i].starts_with("-"))
                return "the settings editor's options (" + words[i] + ") are not given from the page";
        }
    }
    if (command == "package" && words.size() > 2)
        return "the page installs the package the build made, not a file it names";
    if (command == "burst" && words.size() == 2) {
        int count = std::atoi(words[1].c_str());
        if (count < 1 || count > 50)
            return "a burst from the page is 1 to 50 photos";
    }
    return {};
}

LiveSession::Outcome LiveSession::run(const std::string& line)
{
    if (auto refusal = checkLine(line); !refusal.empty())
        return { 400, refusal, {}, {} };
    advanceToGrid();
    return execute(joined(split(line)));
}

LiveSession::Outcome LiveSession::execute(const std::string& line)
{
    Outcome outcome;
    auto result = m_runner.execute(line);
    if (!result.isOk()) {
        outcome.status = result.status == CommandResult::Status::Failed ? 409 : 400;
        outcome.error = result.message;
        return outcome;
    }
    outcome.answer = result.message;
    std::string recorded = line;
    // A tap at a point is written as the command it stood for.
    if (line.starts_with("tap at ")) {
        std::string meaning;
        if (ask("live-tap", meaning) && !meaning.empty())
            recorded = meaning;
    }
    if (m_recording && !line.starts_with("help")) {
        record(recorded);
        outcome.recorded.push_back(recorded);
    }
    return outcome;
}

void LiveSession::record(const std::string& line)
{
    if (!m_change)
        m_change = RecordingChange {};
    auto& change = *m_change;
    // A drag of the slider sends its value as it goes: the recording keeps
    // where it ended.
    if (line.starts_with("slider ") && !m_lines.empty() && m_lines.back().line.starts_with("slider ")) {
        for (size_t count = textOf(m_lines.size() - 1).size(); count; --count) {
            if (change.lines.empty())
                ++change.drop;
            else
                change.lines.pop_back();
        }
        m_lines.pop_back();
    }
    m_lines.push_back({ m_runner.now(), line });
    for (auto& text : textOf(m_lines.size() - 1))
        change.lines.push_back(std::move(text));
}

std::vector<std::string> LiveSession::textOf(size_t entry) const
{
    std::vector<std::string> text;
    uint64_t last = entry ? m_lines[entry - 1].time : m_recordingStart;
    if (m_lines[entry].time > last) {
        char wait[48];
        std::snprintf(wait, sizeof wait, "wait %.2f", static_cast<double>(m_lines[entry].time - last) / NSEC_PER_SEC);
        if (std::string(wait) != "wait 0.00")
            text.push_back(wait);
    }
    text.push_back(m_lines[entry].line);
    return text;
}

std::optional<LiveSession::RecordingChange> LiveSession::takeRecordingChange()
{
    return std::exchange(m_change, std::nullopt);
}

std::vector<std::string> LiveSession::preferenceLines(bool expectations, std::string& fileState)
{
    std::vector<std::string> lines;
    auto path = device::hostPath(preferences::kPath->view());
    std::error_code error;
    if (!path || !std::filesystem::exists(*path, error)) {
        fileState = "absent";
        if (!expectations)
            lines.push_back("prefs remove");
        return lines;
    }
    auto file = NSDictionary::dictionaryWithContentsOfFile(preferences::kPath);
    if (!file) {
        fileState = "unreadable";
        if (!expectations)
            lines.push_back("# the preference file was unreadable; the scenario starts with an empty one");
        lines.push_back(expectations ? "" : "prefs clear");
        if (expectations)
            lines.clear();
        return lines;
    }
    fileState = "present";
    if (!expectations)
        lines.push_back("prefs clear");
    for (const auto& entry : file->entries()) {
        std::string type;
        std::string value = describePreference(entry.value.ptr(), type);
        std::string key = keyName(entry.key.ptr());
        if (type.empty() || key.find_first_of(" \t#") != std::string::npos) {
            if (!expectations)
                lines.push_back("# " + key + " (" + value + ") has no scenario form");
            continue;
        }
        lines.push_back(expectations ? "expect pref " + key + " " + value : "prefs set " + key + " " + type + " " + value);
    }
    return lines;
}

std::vector<std::string> LiveSession::preamble()
{
    std::vector<std::string> lines = { "# Recorded in the Camera's live view." };
    std::string device = "device ios=" + m_runner.systemVersion();
    auto release = releaseNamed(m_runner.systemVersion());
    if (!release || std::fabs(release->coreFoundation - m_runner.coreFoundationVersion()) > 1e-9)
        device += " cf=" + formatNumber(m_runner.coreFoundationVersion());
    device += " extension=" + (m_runner.extension().empty() ? std::string("none") : m_runner.extension());
    device += std::string(" rear-flash=") + (m_runner.rearFlash() ? "yes" : "no") + " front-flash=" + (m_runner.frontFlash() ? "yes" : "no");
    lines.push_back(device);
    // Every device starts with the extension's package.
    if (!m_runner.packageVersion())
        lines.push_back("package remove");
    std::string fileState;
    for (auto& line : preferenceLines(false, fileState))
        lines.push_back(line);
    return lines;
}

void LiveSession::startRecording()
{
    if (m_recording)
        return;
    m_head = preamble();
    m_lines.clear();
    m_recording = true;
    advanceToGrid();
    m_recordingStart = m_runner.now();
    if (m_runner.appRunning()) {
        m_runner.execute("quit");
        if (m_runner.execute("launch").isOk())
            m_lines.push_back({ m_recordingStart, "launch" });
    }
    m_change = RecordingChange { true, 0, {} };
    std::istringstream text(recording());
    for (std::string line; std::getline(text, line);)
        m_change->lines.push_back(line);
}

void LiveSession::stopRecording()
{
    m_recording = false;
}

std::string LiveSession::recording() const
{
    std::string text;
    for (const auto& line : m_head)
        text += line + "\n";
    for (size_t entry = 0; entry < m_lines.size(); ++entry) {
        for (const auto& line : textOf(entry))
            text += line + "\n";
    }
    return text;
}

LiveSession::Outcome LiveSession::expectCurrent(const std::string& what)
{
    if (what != "torch" && what != "popover" && what != "prefs" && what != "all")
        return { 400, "nothing to expect about \"" + what + "\" (torch, popover, prefs, all)", {}, {} };
    std::vector<std::string> lines;
    if (what != "prefs") {
        std::string answer;
        if (!ask("live-expect", answer))
            return { 409, "the Camera is not running", {}, {} };
        std::istringstream in(answer);
        for (std::string line; std::getline(in, line, ';');) {
            if (!line.empty() && (what == "all" || line.starts_with("expect " + what)))
                lines.push_back(line);
        }
    }
    if (what == "prefs" || what == "all") {
        std::string fileState;
        for (auto& line : preferenceLines(true, fileState))
            lines.push_back(line);
    }
    Outcome outcome;
    for (const auto& line : lines) {
        auto result = run(line);
        if (result.status != 200)
            return result;
        for (auto& recorded : result.recorded)
            outcome.recorded.push_back(recorded);
    }
    return outcome;
}

std::optional<LiveFrame> LiveSession::frame(bool full, bool png)
{
    if (!m_runner.appRunning())
        return std::nullopt;
    full |= std::exchange(m_keyFrameDue, false);
    std::string request = std::string("live-frame") + (full ? " full" : "") + (png ? " png" : "");
    LiveFrame frame;
    auto result = m_runner.askCameraWithData(request, frame.message);
    if (!result.isOk() || frame.message.empty()) {
        m_keyFrameDue = !result.isOk();
        return std::nullopt;
    }
    std::istringstream in(result.message);
    size_t length = 0;
    in >> length >> frame.renderMilliseconds >> frame.encodeMilliseconds;
    if (!in || length != frame.message.size() || frame.message.size() < liveframes::kHeaderSize) {
        m_keyFrameDue = true;
        return std::nullopt;
    }
    return frame;
}

std::string LiveSession::state()
{
    std::string out = "{\"running\":" + std::string(m_runner.appRunning() ? "true" : "false");
    out += ",\"ended\":" + json::quote(m_runner.appRunning() ? "" : m_runner.appEndReason());
    out += ",\"device\":{\"ios\":" + json::quote(m_runner.systemVersion()) + ",\"cf\":" + json::number(m_runner.coreFoundationVersion())
        + ",\"extension\":" + json::quote(m_runner.extension()) + ",\"releases\":" + json::quote(knownReleases());
    auto package = m_runner.packageVersion();
    out += ",\"package\":{\"name\":" + json::quote(m_runner.packageName()) + ",\"version\":" + (package ? json::quote(*package) : "null") + "}}";

    std::string app;
    if (!ask("live-state", app))
        app.clear();
    out += ",\"app\":" + (app.empty() ? std::string("null") : app);

    // The preference file as it stands.
    auto path = device::hostPath(preferences::kPath->view());
    out += ",\"prefs\":{\"path\":" + json::quote(preferences::kPath->string());
    std::string text;
    std::error_code error;
    bool exists = path && std::filesystem::exists(*path, error);
    if (exists) {
        std::ifstream file(*path, std::ios::binary);
        text.resize(kLargestShownFile);
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(file.gcount()));
    }
    auto dictionary = text.empty() ? RefPtr<NSDictionary>() : NSDictionary::dictionaryWithContentsOfFile(preferences::kPath);
    out += std::string(",\"exists\":") + (exists ? "true" : "false");
    out += std::string(",\"readable\":") + (dictionary ? "true" : "false");
    out += ",\"text\":" + json::quote(text) + ",\"entries\":[";
    if (dictionary) {
        bool first = true;
        for (const auto& entry : dictionary->entries()) {
            std::string type;
            std::string value = describePreference(entry.value.ptr(), type);
            out += std::string(first ? "" : ",") + "{\"key\":" + json::quote(keyName(entry.key.ptr())) + ",\"type\":" + json::quote(type.empty() ? "other" : type)
                + ",\"value\":" + json::quote(value) + "}";
            first = false;
        }
    }
    out += "]}";
    out += ",\"recording\":{\"on\":" + std::string(m_recording ? "true" : "false") + "}";
    out += "}";
    return out;
}

} // namespace camera
