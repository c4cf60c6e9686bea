#include "host/CommandTable.h"

#include "host/AppCommands.h"
#include "host/Runner.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace camera {

namespace {

// Placeholders that stand for numbers, and for whole numbers.
constexpr const char* kNumberPlaceholders[] = { "LEVEL", "SECONDS", "X", "Y", "W", "H", "R", "G", "B", "A", "V", "MIN", "MAX" };
constexpr const char* kWholeNumberPlaceholders[] = { "N" };
// The placeholder that takes the rest of the line, spaces and all.
constexpr const char* kRestOfLine = "TEXT";

struct Word {
    std::string text;
    size_t offset;
};

std::vector<Word> splitWords(const std::string& line)
{
    std::vector<Word> words;
    size_t position = 0;
    for (;;) {
        position = line.find_first_not_of(" \t\r\n", position);
        if (position == std::string::npos)
            break;
        size_t end = line.find_first_of(" \t\r\n", position);
        if (end == std::string::npos)
            end = line.size();
        words.push_back({ line.substr(position, end - position), position });
        position = end;
    }
    return words;
}

std::vector<std::string> splitOn(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

bool isPlaceholder(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return (c >= 'A' && c <= 'Z') || c == '_' || c == '='; });
}

template <size_t size>
bool listed(const char* const (&list)[size], const std::string& text)
{
    return std::find_if(std::begin(list), std::end(list), [&](const char* entry) { return text == entry; }) != std::end(list);
}

bool parseNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && errno == 0 && std::isfinite(value);
}

// Empty when word fits the token, else what is wrong with it.
std::string check(const ArgumentToken& token, const std::string& word)
{
    if (std::find(token.words.begin(), token.words.end(), word) != token.words.end())
        return {};
    double value;
    if (!token.placeholder.empty()) {
        if (!token.isNumber())
            return {};
        if (parseNumber(word, value) && (!token.isWholeNumber() || value == std::floor(value)))
            return {};
    }
    std::string choices;
    for (const auto& choice : token.words)
        choices += (choices.empty() ? "" : ", ") + choice;
    if (token.placeholder.empty())
        return "'" + word + "' is not one of: " + choices;
    std::string kind = token.isWholeNumber() ? "a whole number" : "a number";
    return token.placeholder + " must be " + kind + (choices.empty() ? "" : " or " + choices) + ", not '" + word + "'";
}

struct PatternToken : ArgumentToken {
    std::string text; // as written, for messages
};

std::vector<PatternToken> parsePattern(const char* pattern)
{
    std::vector<PatternToken> tokens;
    for (const auto& word : splitWords(pattern)) {
        PatternToken token;
        token.text = word.text;
        std::string text = word.text;
        if (text.size() > 3 && text.ends_with("...")) {
            token.repeated = true;
            text.resize(text.size() - 3);
        }
        if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
            token.optional = true;
            text = text.substr(1, text.size() - 2);
        }
        for (auto& choice : splitOn(text, '|')) {
            if (isPlaceholder(choice))
                token.placeholder = choice;
            else
                token.words.push_back(choice);
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

struct Match {
    bool fits = false;
    size_t progress = 0; // the arguments that fitted before a misfit
    std::string error;
};

Match matchArguments(const char* pattern, const std::vector<Word>& arguments)
{
    Match match;
    size_t index = 0;
    for (const auto& token : parsePattern(pattern)) {
        if (token.takesRestOfLine()) {
            if (index >= arguments.size() && !token.optional) {
                match.error = "missing " + token.text;
                return match;
            }
            index = arguments.size();
            continue;
        }
        size_t taken = 0;
        while (index < arguments.size() && (token.repeated || taken == 0)) {
            if (auto error = check(token, arguments[index].text); !error.empty()) {
                match.error = error;
                return match;
            }
            ++index;
            ++taken;
            match.progress = index;
        }
        if (!taken && !token.optional) {
            match.error = "missing " + token.text;
            return match;
        }
    }
    if (index < arguments.size()) {
        match.error = "unexpected '" + arguments[index].text + "'";
        return match;
    }
    match.fits = true;
    return match;
}

// The words of a row's name, split once.
const std::vector<std::vector<std::string>>& rowNames()
{
    static const auto* names = [] {
        auto* all = new std::vector<std::vector<std::string>>;
        for (const auto& row : commandRows()) {
            std::vector<std::string> words;
            if (row.kind != CommandRow::Kind::Section) {
                for (auto& word : splitWords(row.name))
                    words.push_back(word.text);
            }
            all->push_back(std::move(words));
        }
        return all;
    }();
    return *names;
}

std::string rowUsage(const CommandRow& row)
{
    std::string usage = row.name;
    if (*row.arguments)
        usage += std::string(" ") + row.arguments;
    return usage;
}

} // namespace

// MARK: The table

std::span<const CommandRow> commandRows()
{
#define SECTION(title) { CommandRow::Kind::Section, 0, title, "", "", nullptr, nullptr },
#define DEVICE_COMMAND(generations, name, arguments, handler, help) \
    { CommandRow::Kind::Device, generations, name, arguments, help, &Runner::handler, nullptr },
#define CAMERA_COMMAND(generations, name, arguments, handler, help) \
    { CommandRow::Kind::Camera, generations, name, arguments, help, nullptr, &commands::handler },
    static const CommandRow rows[] = {
#include "host/Commands.def"
    };
    return rows;
}

// MARK: Arguments

bool ArgumentToken::isNumber() const
{
    return listed(kNumberPlaceholders, placeholder) || isWholeNumber();
}

bool ArgumentToken::isWholeNumber() const
{
    return listed(kWholeNumberPlaceholders, placeholder);
}

bool ArgumentToken::takesRestOfLine() const
{
    return placeholder == kRestOfLine;
}

std::vector<ArgumentToken> argumentTokens(const CommandRow& row)
{
    std::vector<ArgumentToken> tokens;
    for (auto& token : parsePattern(row.arguments))
        tokens.push_back(std::move(token));
    return tokens;
}

CommandArguments::CommandArguments(std::string line, std::vector<std::string> words, std::vector<size_t> offsets)
    : m_line(std::move(line))
    , m_words(std::move(words))
    , m_offsets(std::move(offsets))
{
}

const std::string& CommandArguments::word(size_t index) const
{
    static const std::string none;
    return index < m_words.size() ? m_words[index] : none;
}

double CommandArguments::number(size_t index) const
{
    double value = 0;
    parseNumber(word(index), value);
    return value;
}

std::string CommandArguments::rest(size_t index) const
{
    if (index >= m_offsets.size())
        return {};
    std::string text = m_line.substr(m_offsets[index]);
    return text.substr(0, text.find_last_not_of(" \t\r\n") + 1);
}

// MARK: Resolving a line

ResolvedCommand resolveCommand(const std::string& rawLine)
{
    ResolvedCommand resolved;
    std::string line = rawLine.substr(0, rawLine.find('#'));
    auto words = splitWords(line);
    if (words.empty())
        return resolved;

    auto rows = commandRows();
    const auto& names = rowNames();
    auto nameFits = [&](size_t index) {
        const auto& name = names[index];
        if (name.empty() || name.size() > words.size())
            return false;
        for (size_t i = 0; i < name.size(); ++i) {
            if (name[i] != words[i].text)
                return false;
        }
        return true;
    };

    size_t longest = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (nameFits(i))
            longest = std::max(longest, names[i].size());
    }
    if (!longest) {
        bool known = std::any_of(names.begin(), names.end(), [&](const auto& name) { return !name.empty() && name[0] == words[0].text; });
        if (known)
            resolved.error = "not a whole command (help " + words[0].text + " lists the commands that start so)";
        else
            resolved.error = "unknown command (help lists the commands)";
        return resolved;
    }

    std::vector<Word> arguments(words.begin() + static_cast<std::ptrdiff_t>(longest), words.end());
    Match best;
    const CommandRow* bestRow = nullptr;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (names[i].size() != longest || !nameFits(i))
            continue;
        Match match = matchArguments(rows[i].arguments, arguments);
        if (match.fits) {
            std::vector<std::string> texts;
            std::vector<size_t> offsets;
            for (const auto& argument : arguments) {
                texts.push_back(argument.text);
                offsets.push_back(argument.offset);
            }
            resolved.row = &rows[i];
            resolved.arguments = CommandArguments(line, std::move(texts), std::move(offsets));
            return resolved;
        }
        if (!bestRow || match.progress > best.progress) {
            best = match;
            bestRow = &rows[i];
        }
    }
    resolved.error = best.error + " (" + commandUsage(bestRow->name) + ")";
    return resolved;
}

std::string commandUsage(const std::string& name)
{
    std::string usage;
    for (const auto& row : commandRows()) {
        if (row.kind == CommandRow::Kind::Section || name != row.name)
            continue;
        usage += (usage.empty() ? "usage: " : " | ") + rowUsage(row);
    }
    return usage;
}

std::string describeGenerations(unsigned generations)
{
    if ((generations & AnyGeneration) == AnyGeneration)
        return "every iOS";
    if (generations == TopBarGenerations)
        return "iOS 7-9";
    std::string text;
    for (int generation = 6; generation <= 9; ++generation) {
        if (generations & (1u << generation))
            text += (text.empty() ? "iOS " : ", ") + std::to_string(generation);
    }
    return text;
}

// MARK: Help

std::string commandHelp(const std::string& filter)
{
    constexpr size_t kHelpColumn = 34;
    constexpr size_t kWidth = 100;
    std::string text;
    std::string pendingSection;
    for (const auto& row : commandRows()) {
        if (row.kind == CommandRow::Kind::Section) {
            pendingSection = row.name;
            continue;
        }
        if (!filter.empty() && std::string_view(row.name).substr(0, filter.size()) != filter)
            continue;
        if (!pendingSection.empty()) {
            text += (text.empty() ? "" : "\n") + pendingSection + ":\n";
            pendingSection.clear();
        }
        std::string usage = "  " + rowUsage(row);
        std::string help = row.help;
        if ((row.generations & AnyGeneration) != AnyGeneration)
            help += " (" + describeGenerations(row.generations) + ")";
        // The help goes beside the usage, wrapped at word boundaries.
        text += usage;
        size_t column = usage.size();
        if (column + 2 > kHelpColumn) {
            text += "\n";
            column = 0;
        }
        bool lineStart = true;
        for (const auto& word : splitWords(help)) {
            if (!lineStart && column + 1 + word.text.size() > kWidth) {
                text += "\n";
                column = 0;
                lineStart = true;
            }
            if (lineStart) {
                text += std::string(kHelpColumn - column, ' ');
                column = kHelpColumn;
            } else {
                text += ' ';
                ++column;
            }
            text += word.text;
            column += word.text.size();
            lineStart = false;
        }
        text += "\n";
    }
    return text;
}

} // namespace camera
