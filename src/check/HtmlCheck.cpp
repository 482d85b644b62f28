#include "check/HtmlCheck.h"

#include "res/CheckMessages.h"

#include <QSet>

#include <tidy/tidy.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <mutex>
#include <optional>
#include <set>

namespace check {
namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-8 bytes of the characters of `text` as PageOf writes them.
qint64 Utf8Size(QStringView text, qint64& tags) {
    qint64 bytes = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        tags += c == u'<';
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : IsLow(c) ? 1 : 3; // a pair is 3 + 1
    }
    return bytes;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Builds a Page from pieces of text; a line break is U+2029 or "\n" (with
// "\r\n" as one).
class PageBuilder {
public:
    PageBuilder() { NewLine(0); }

    void Append(QStringView piece) {
        for (qsizetype i = 0; i < piece.size(); ++i) {
            const char16_t c = piece[i].unicode();
            if (c == u'\r' && i + 1 < piece.size() && piece[i + 1] == u'\n')
                continue; // the "\n" makes the break
            ++m_position;
            if (c == 0x2029 || c == u'\n') {
                m_page.utf8 += '\n';
                NewLine(m_position);
            } else if (c == u'\r' || c == 0) {
                m_page.utf8 += ' '; // no line break to the library either
            } else if (IsHigh(c) && i + 1 < piece.size() && IsLow(piece[i + 1].unicode())) {
                AppendUtf8(m_page.utf8, QChar::surrogateToUcs4(c, piece[i + 1].unicode()));
                ++i;
                ++m_position;
            } else if (IsHigh(c) || IsLow(c)) {
                AppendUtf8(m_page.utf8, 0xFFFD);
            } else {
                AppendUtf8(m_page.utf8, c);
            }
        }
    }
    void Break() {
        ++m_position;
        m_page.utf8 += '\n';
        NewLine(m_position);
    }
    Page Take() { return std::move(m_page); }

private:
    void NewLine(qsizetype position) {
        m_page.lineStarts.push_back(position);
        m_page.lineBytes.push_back(m_page.utf8.size());
    }

    Page m_page;
    qsizetype m_position = 0;
};

// The library's parse reads through this, so a cancel ends it early.
struct Source {
    const std::string* text;
    size_t at = 0;
    const std::function<bool()>* cancel;
    bool cancelled = false;

    static int TIDY_CALL GetByte(void* data) {
        auto* s = static_cast<Source*>(data);
        // Often: one tag can cost the library much work on some pages.
        if (*s->cancel && (*s->cancel)())
            s->cancelled = true;
        if (s->cancelled || s->at >= s->text->size())
            return int(EndOfStream);
        return static_cast<unsigned char>((*s->text)[s->at++]);
    }
    static void TIDY_CALL UngetByte(void* data, byte) {
        auto* s = static_cast<Source*>(data);
        if (s->at > 0 && !s->cancelled)
            --s->at;
    }
    static Bool TIDY_CALL AtEnd(void* data) {
        auto* s = static_cast<Source*>(data);
        return s->cancelled || s->at >= s->text->size() ? yes : no;
    }
};

// A message of the library as it came.
struct Raw {
    std::string key;
    int line;   // 1-based
    int column; // 1-based, in characters
    std::vector<std::string> args;
};

// "<p>" → "p", "</a>" → "/a", "b" → "b".
QString Argument(const std::string& arg) {
    std::string_view v(arg);
    if (v.size() >= 2 && v.front() == '<' && v.back() == '>')
        v = v.substr(1, v.size() - 2);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

// `text` with %1..%9 replaced by the arguments (a missing one by nothing).
QString Fill(const char16_t* text, const QStringList& args) {
    QString out;
    for (const char16_t* c = text; *c; ++c) {
        if (c[0] == u'%' && c[1] >= u'1' && c[1] <= u'9') {
            out += args.value(c[1] - u'1');
            ++c;
        } else {
            out += QChar(*c);
        }
    }
    return out;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '-' || c == ':' || c == '_';
}

// Maps the library's places to the text and measures the token there.
class Places {
public:
    explicit Places(const Page& page) : m_page(page) {}

    struct At {
        qsizetype line, column, position, length;
        size_t byte; // in utf8
    };
    At Find(int line1, int column1) {
        const auto& starts = m_page.lineBytes;
        qsizetype line = std::clamp<qsizetype>(line1 - 1, 0, qsizetype(starts.size()) - 1);
        if (line1 - 1 >= qsizetype(starts.size())) // past the end: the end of the text
            column1 = INT_MAX;
        const size_t end = LineEnd(line);
        Step at{starts[line], 0};
        if (end - at.byte > kCheckpointEvery) {
            // A long line: from the checkpoint before the column.
            const std::vector<Step>& points = Checkpoints(line, end);
            const size_t i = std::min(size_t(column1 - 1) / kCheckpointEvery, points.size() - 1);
            at = points[i];
            Walk(at, int(column1 - 1 - i * kCheckpointEvery), end);
        } else {
            Walk(at, column1 - 1, end);
        }
        return {line, at.units, m_page.lineStarts[line] + at.units, TokenUnits(at.byte, end), at.byte};
    }
    // Whether the text at `byte` is the end tag of `name`.
    bool EndTagAt(size_t byte, const QString& name) const {
        const std::string& s = m_page.utf8;
        const std::string n = name.toStdString();
        if (s.compare(byte, 2, "</") != 0 || byte + 2 + n.size() > s.size())
            return false;
        for (size_t i = 0; i < n.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(s[byte + 2 + i])) !=
                std::tolower(static_cast<unsigned char>(n[i])))
                return false;
        const size_t after = byte + 2 + n.size();
        return after >= s.size() || !IsNameChar(s[after]);
    }

private:
    struct Step {
        size_t byte;     // in utf8
        qsizetype units; // UTF-16 units from the line's start
    };
    static constexpr size_t kCheckpointEvery = 1024; // characters

    // Moves `at` on by `characters` characters, not past `end`.
    void Walk(Step& at, int characters, size_t end) const {
        const std::string& s = m_page.utf8;
        for (int c = 0; c < characters && at.byte < end; ++c) {
            const unsigned char lead = static_cast<unsigned char>(s[at.byte]);
            const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            at.units += n == 4 ? 2 : 1;
            at.byte += n;
        }
    }
    // Where every kCheckpointEvery-th character of a long line stands.
    const std::vector<Step>& Checkpoints(qsizetype line, size_t end) {
        std::vector<Step>& points = m_checkpoints[line];
        if (points.empty()) {
            Step at{m_page.lineBytes[line], 0};
            points.push_back(at);
            while (at.byte < end) {
                Walk(at, int(kCheckpointEvery), end);
                points.push_back(at);
            }
        }
        return points;
    }

    size_t LineEnd(qsizetype line) const {
        return line + 1 < qsizetype(m_page.lineBytes.size()) ? m_page.lineBytes[line + 1] - 1
                                                              : m_page.utf8.size();
    }
    // UTF-16 units from `b` to the end of the token there: a tag to its '>',
    // a character reference to its ';', else a run without spaces; the line
    // ends it in any case.
    qsizetype TokenUnits(size_t b, size_t end) const {
        const std::string& s = m_page.utf8;
        if (b >= end)
            return 0;
        size_t e = b + 1;
        if (s[b] == '<') {
            while (e < end && s[e] != '>')
                ++e;
            e = std::min(e + 1, end);
        } else if (s[b] == '&') {
            while (e < end && (IsNameChar(s[e]) || s[e] == '#'))
                ++e;
            if (e < end && s[e] == ';')
                ++e;
        } else {
            while (e < end && s[e] != ' ' && s[e] != '\t' && s[e] != '<')
                ++e;
        }
        qsizetype units = 0;
        for (size_t i = b; i < e; ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if ((c & 0xC0) != 0x80)
                units += c >= 0xF0 ? 2 : 1;
        }
        return units;
    }

    const Page& m_page;
    std::map<qsizetype, std::vector<Step>> m_checkpoints;
};

// Keys that only tell how the library mended the page: after a mistake at
// the same place they are part of it.
bool IsNarration(const std::string& key) {
    return key == "DISCARDING_UNEXPECTED" || key == "INSERTING_TAG" ||
           key == "TRIM_EMPTY_ELEMENT" || key == "MISSING_ENDTAG_BEFORE" ||
           key == "MISSING_ENDTAG_FOR" || key == "REPLACING_ELEMENT" ||
           key == "REPLACING_UNEX_ELEMENT";
}

// Attributes the browsers of the old doctypes knew, which the library calls
// proprietary; the table command writes BORDERCOLOR.
bool IsLegacyAttribute(const std::string& name) {
    static const char* const kNames[] = {"bordercolor", "bordercolorlight", "bordercolordark",
                                         "leftmargin",  "topmargin",        "marginwidth",
                                         "marginheight"};
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return std::find(std::begin(kNames), std::end(kNames), lower) != std::end(kNames);
}

// Whether the text has an HTML or a HEAD start tag.
bool IsWholePage(const std::string& utf8) {
    for (size_t i = utf8.find('<'); i != std::string::npos; i = utf8.find('<', i + 1)) {
        std::string name = utf8.substr(i + 1, 5);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if ((name.compare(0, 4, "html") == 0 || name.compare(0, 4, "head") == 0) &&
            (name.size() < 5 || !IsNameChar(name[4])))
            return true;
    }
    return false;
}

// Turns the library's messages into problems: one for each mistake.
class Folder {
public:
    Folder(const Page& page, bool html5, const bool* stopped)
        : m_places(page), m_html5(html5), m_wholePage(IsWholePage(page.utf8)),
          m_stopped(stopped) {}
    bool Stopped() const { return *m_stopped; }

    void Add(const Raw& raw) {
        const Places::At at = m_places.Find(raw.line, raw.column);
        QStringList args;
        for (const std::string& a : raw.args)
            args << Argument(a);
        const std::pair<int, int> place{raw.line, raw.column};

        // An element the library put in itself: what it says later about
        // that element there is part of the mistake that made it.
        if (raw.key == "INSERTING_TAG" && !args.isEmpty() && !m_places.EndTagAt(at.byte, args[0])) {
            m_implicit.insert({place, args[0].toLower()});
            return Unshown(raw.key);
        }
        if ((raw.key == "MISSING_ENDTAG_BEFORE" || raw.key == "MISSING_ENDTAG_FOR" ||
             raw.key == "TRIM_EMPTY_ELEMENT") &&
            !args.isEmpty() && IsImplicit(place, args[0]))
            return Unshown(raw.key);
        if (IsNarration(raw.key) && m_lastShown == place)
            return Unshown(raw.key);
        // The end tag of an element already told unknown is the same mistake.
        if (raw.key == "UNKNOWN_ELEMENT" && !args.isEmpty())
            m_unknown.insert(u'/' + args[0].toLower());
        if (raw.key == "DISCARDING_UNEXPECTED" && !args.isEmpty() &&
            m_unknown.contains(args[0].toLower()))
            return Unshown(raw.key);
        // An empty text or a piece of a page (no HTML or HEAD element) has
        // no title to miss.
        if (raw.key == "MISSING_TITLE_ELEMENT" && !m_wholePage)
            return Unshown(raw.key);
        if (raw.key == "PROPRIETARY_ATTRIBUTE" && !m_html5 && args.size() > 1 &&
            IsLegacyAttribute(raw.args[1]))
            return Unshown(raw.key);

        const res::CheckMessage* entry = nullptr;
        if (!args.isEmpty())
            entry = res::FindCheckMessage(raw.key + ':' + raw.args[0]);
        if (!entry)
            entry = res::FindCheckMessage(raw.key);
        if (!entry || (entry->html5Only && !m_html5))
            return Unshown(raw.key);

        const QString message = Fill(entry->text, args);
        if (!m_said.insert({at.position, message}).second)
            return Unshown(raw.key); // said already
        ++m_total;
        if (qsizetype(m_problems.size()) < kMaxCollected)
            m_problems.push_back({at.line, at.column, at.position, at.length,
                                  QString::fromStdString(raw.key), message});
        m_lastShown = place;
    }

    Result Take() {
        std::stable_sort(m_problems.begin(), m_problems.end(),
                         [](const Problem& a, const Problem& b) { return a.position < b.position; });
        Result r;
        r.total = m_total;
        if (r.total > kMaxProblems)
            m_problems.resize(kMaxProblems);
        r.problems = std::move(m_problems);
        r.unshown = std::move(m_unshown);
        return r;
    }

private:
    void Unshown(const std::string& key) { ++m_unshown[key]; }
    bool IsImplicit(std::pair<int, int> place, const QString& name) const {
        return m_implicit.count({place, name.toLower()}) > 0;
    }
    // Problems beyond the ones kept are counted; these many are collected
    // to find the first ones in the text (the library does not report in
    // the order of the text).
    static constexpr qsizetype kMaxCollected = 20 * kMaxProblems;

    Places m_places;
    bool m_html5;
    bool m_wholePage;
    const bool* m_stopped;
    std::vector<Problem> m_problems;
    std::map<std::string, int> m_unshown;
    qsizetype m_total = 0;
    std::set<std::pair<qsizetype, QString>> m_said;
    std::set<std::pair<std::pair<int, int>, QString>> m_implicit;
    QSet<QString> m_unknown; // end tags of the unknown elements
    std::optional<std::pair<int, int>> m_lastShown;
};

Bool TIDY_CALL OnMessage(TidyMessage message) {
    auto* folder = static_cast<Folder*>(tidyGetAppData(tidyGetMessageDoc(message)));
    if (folder->Stopped())
        return no; // the result is not wanted
    const TidyReportLevel level = tidyGetMessageLevel(message);
    if (level != TidyWarning && level != TidyError && level != TidyInfo)
        return no;
    Raw raw{tidyGetMessageKey(message), tidyGetMessageLine(message),
            tidyGetMessageColumn(message), {}};
    for (TidyIterator it = tidyGetMessageArguments(message); it;) {
        TidyMessageArgument arg = tidyGetNextMessageArgument(message, &it);
        if (tidyGetArgType(message, &arg) == tidyFormatType_STRING) {
            const char* value = tidyGetArgValueString(message, &arg);
            raw.args.emplace_back(value ? value : "");
        }
    }
    folder->Add(raw);
    return no; // nothing is written anywhere
}

// The library keeps tables that a parse changes: one parse at a time.
std::mutex s_parseLock;

} // namespace

bool TooLargeToCheck(const io::ParagraphBatches& lines) {
    qint64 bytes = 0, tags = 0;
    for (const QStringList& run : lines)
        for (const QString& line : run) {
            bytes += Utf8Size(line, tags) + 1;
            if (CheckMemory(bytes, tags) > kMaxCheckMemory)
                return true;
        }
    return false;
}

Page PageOf(const io::ParagraphBatches& lines, const io::TextSplits& splits) {
    PageBuilder builder;
    io::ParagraphWalk walk(lines, splits);
    while (!walk.AtEnd()) {
        if (walk.BreakBefore())
            builder.Break();
        builder.Append(walk.Take());
    }
    return builder.Take();
}

Page PageOf(QStringView text) {
    PageBuilder builder;
    builder.Append(text);
    return builder.Take();
}

bool DeclaresHtml5(const std::string& utf8) {
    // The doctype comes first, after white space and comments at most.
    size_t i = 0;
    const auto skipSpace = [&] {
        while (i < utf8.size() && std::isspace(static_cast<unsigned char>(utf8[i])))
            ++i;
    };
    for (;;) {
        skipSpace();
        if (utf8.compare(i, 4, "<!--") != 0)
            break;
        const size_t end = utf8.find("-->", i + 4);
        if (end == std::string::npos)
            return false;
        i = end + 3;
    }
    std::string head = utf8.substr(i, 64);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (head.compare(0, 9, "<!doctype") != 0)
        return false;
    size_t j = 9;
    while (j < head.size() && std::isspace(static_cast<unsigned char>(head[j])))
        ++j;
    if (head.compare(j, 4, "html") != 0)
        return false;
    j += 4;
    while (j < head.size() && std::isspace(static_cast<unsigned char>(head[j])))
        ++j;
    return head.compare(j, 1, ">") == 0 || head.compare(j, 6, "system") == 0;
}

Result CheckPage(const Page& page, const std::function<bool()>& cancelled) {
    Source source{&page.utf8, 0, &cancelled};
    Folder folder(page, DeclaresHtml5(page.utf8), &source.cancelled);
    {
        std::lock_guard lock(s_parseLock);
        TidyDoc doc = tidyCreate();
        tidySetAppData(doc, &folder);
        tidySetMessageCallback(doc, OnMessage);
        tidySetCharEncoding(doc, "utf8");
        tidyOptSetInt(doc, TidyShowErrors, INT_MAX);
        tidyOptSetBool(doc, TidyShowWarnings, yes);
        tidyOptSetBool(doc, TidyShowInfo, no);
        tidyOptSetBool(doc, TidyQuiet, yes);
        tidyOptSetInt(doc, TidyTabSize, 1); // a tab is one column, as in the pane's text
        tidyOptSetInt(doc, TidyUseCustomTags, TidyCustomInline);
        TidyInputSource input;
        tidyInitSource(&input, &source, &Source::GetByte, &Source::UngetByte, &Source::AtEnd);
        if (tidyParseSource(doc, &input) >= 0 && !source.cancelled)
            tidyCleanAndRepair(doc); // reports what the doctype does not allow
        tidyRelease(doc);
    }
    if (source.cancelled) {
        Result r;
        r.outcome = Outcome::Cancelled;
        return r;
    }
    return folder.Take();
}

} // namespace check
