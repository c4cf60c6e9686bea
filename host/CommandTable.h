// The simulator's command language as data: the rows of Commands.def, the
// checking of a line against them, and the help text made from them.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace camera {

class Runner;

// What became of one command.
struct CommandResult {
    enum class Status {
        Ok,     // done, or the expectation held
        Failed, // an expectation did not hold (a scenario ends with status 1)
        Error,  // not a command, bad arguments, or it cannot be done here (status 2)
    };
    Status status = Status::Ok;
    // The error or the failure; for some commands an answer.
    std::string message;

    static CommandResult ok(std::string answer = {}) { return { Status::Ok, std::move(answer) }; }
    static CommandResult failed(std::string message) { return { Status::Failed, std::move(message) }; }
    static CommandResult error(std::string message) { return { Status::Error, std::move(message) }; }
    bool isOk() const { return status == Status::Ok; }
};

// The arguments of a line, checked against its row.
class CommandArguments {
public:
    CommandArguments() = default;
    CommandArguments(std::string line, std::vector<std::string> words, std::vector<size_t> offsets);

    size_t size() const { return m_words.size(); }
    bool has(size_t index) const { return index < m_words.size(); }
    // The argument words (the command's name not counted); empty past the end.
    const std::string& word(size_t index) const;
    // A number the row declared (checked to be one).
    double number(size_t index) const;
    // The text of the line from argument index on, as typed.
    std::string rest(size_t index) const;
    const std::vector<std::string>& words() const { return m_words; }

private:
    std::string m_line;
    std::vector<std::string> m_words;
    std::vector<size_t> m_offsets; // of each word in m_line
};

// Where a command applies, by the running Camera's iOS generation.
enum CommandGenerations : unsigned {
    IOS6 = 1u << 6,
    IOS7 = 1u << 7,
    IOS8 = 1u << 8,
    IOS9 = 1u << 9,
    TopBarGenerations = IOS7 | IOS8 | IOS9,
    AnyGeneration = IOS6 | TopBarGenerations,
};

struct CommandRow {
    enum class Kind { Section,
        Device,
        Camera };
    Kind kind;
    unsigned generations;
    const char* name; // a section's title
    const char* arguments;
    const char* help;
    CommandResult (Runner::*onDevice)(const CommandArguments&) = nullptr;
    CommandResult (*onCamera)(const CommandArguments&) = nullptr;

    bool appliesTo(int generation) const { return generations & (1u << generation); }
};

// Every row of Commands.def, sections included, in order.
std::span<const CommandRow> commandRows();

// One argument of a row, as its pattern declares it: words it may be, a
// placeholder (LEVEL, N, KEY ...), or both.
struct ArgumentToken {
    std::vector<std::string> words;
    std::string placeholder;
    bool optional = false;
    bool repeated = false;
    bool isNumber() const;
    bool isWholeNumber() const;
    bool takesRestOfLine() const;
};
std::vector<ArgumentToken> argumentTokens(const CommandRow& row);

// A line matched to its row. row is null for an empty line (or a comment),
// and when error says what is wrong with it.
struct ResolvedCommand {
    const CommandRow* row = nullptr;
    CommandArguments arguments;
    std::string error;
};
ResolvedCommand resolveCommand(const std::string& line);

// "usage: NAME ARGUMENTS", with every row of that name.
std::string commandUsage(const std::string& name);
// The generations a row applies to, in words ("iOS 7 to 9").
std::string describeGenerations(unsigned generations);

// The commands as --help and the prompt's help list them; with a filter,
// only the rows whose name starts with it (empty when none does).
std::string commandHelp(const std::string& filter = {});

} // namespace camera
