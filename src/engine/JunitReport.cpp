#include "engine/JunitReport.h"

#include "engine/XmlText.h"

namespace kw {

namespace {

// How a step shows in JUnit terms. A builder that could not start is an error of the set-up, not
// of the project; a stopped step was cut short, not failed (the exit code says the run stopped).
enum class CaseKind { Passed, Failure, Error, Skipped };

CaseKind KindOf(StepRecord::Verdict verdict) {
    switch (verdict) {
    case StepRecord::Succeeded: return CaseKind::Passed;
    case StepRecord::Failed:
    case StepRecord::TimedOut: return CaseKind::Failure;
    case StepRecord::NotStarted: return CaseKind::Error;
    case StepRecord::NotRun:
    case StepRecord::Stopped: return CaseKind::Skipped;
    }
    return CaseKind::Failure;
}

std::string JoinedLines(const std::vector<std::wstring>& lines) {
    std::string out;
    for (const std::wstring& line : lines) {
        AppendXmlText(out, line);
        out += '\n';
    }
    return out;
}

struct Case {
    std::wstring name;
    long long ms = 0;
    CaseKind kind = CaseKind::Passed;
    std::wstring message;
    const char* type = "";
    const std::vector<std::wstring>* lines = nullptr;
};

const char* TypeOf(StepRecord::Verdict verdict) {
    switch (verdict) {
    case StepRecord::Failed: return "failed";
    case StepRecord::TimedOut: return "timed out";
    case StepRecord::NotStarted: return "not started";
    default: return "";
    }
}

std::vector<Case> Cases(const RunRecord& record) {
    std::vector<Case> cases;
    for (const TargetRecord& target : record.targets) {
        if (target.steps.empty()) {
            Case c;
            c.name = TargetDisplayName(target);
            c.kind = CaseKind::Skipped;
            c.message = target.notRunReason.empty() ? L"not run" : L"not run: " + target.notRunReason;
            cases.push_back(std::move(c));
            continue;
        }
        for (const StepRecord& step : target.steps) {
            Case c;
            c.name = StepDisplayName(target, step);
            c.ms = step.DurationMs();
            c.kind = KindOf(step.verdict);
            c.message = StepVerdictWords(step);
            c.type = TypeOf(step.verdict);
            c.lines = &step.lines;
            cases.push_back(std::move(c));
        }
    }
    return cases;
}

}  // namespace

std::string JunitXml(const RunRecord& record) {
    std::vector<Case> cases = Cases(record);
    int failures = 0, errors = 0, skipped = 0;
    for (const Case& c : cases) {
        if (c.kind == CaseKind::Failure) ++failures;
        if (c.kind == CaseKind::Error) ++errors;
        if (c.kind == CaseKind::Skipped) ++skipped;
    }
    const std::string suite = XmlAttr(record.packageName);
    const std::string counts = " tests=\"" + std::to_string(cases.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                               "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" +
                               FormatSeconds(record.durationMs) + "\"";

    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuites name=\"" + suite + "\"" + counts + ">\n";
    xml += "  <testsuite name=\"" + suite + "\"" + counts + " timestamp=\"" +
           XmlAttr(FormatTimestamp(record.started, true)) + "\">\n";
    xml += "    <properties>\n";
    auto property = [&xml](const char* name, const std::wstring& value) {
        xml += std::string("      <property name=\"") + name + "\" value=\"" + XmlAttr(value) + "\"/>\n";
    };
    property("package", record.packagePath);
    property("actions", record.actions);
    if (!record.versions.empty()) property("versions", record.versions);
    xml += "    </properties>\n";

    for (const Case& c : cases) {
        xml += "    <testcase classname=\"" + suite + "\" name=\"" + XmlAttr(c.name) + "\" time=\"" +
               FormatSeconds(c.ms) + "\">\n";
        const bool hasLines = c.lines && !c.lines->empty();
        if (c.kind == CaseKind::Failure || c.kind == CaseKind::Error) {
            const char* element = c.kind == CaseKind::Failure ? "failure" : "error";
            xml += std::string("      <") + element + " message=\"" + XmlAttr(c.message) + "\" type=\"" + c.type +
                   "\">" + (hasLines ? JoinedLines(*c.lines) : std::string()) + "</" + element + ">\n";
        } else {
            if (c.kind == CaseKind::Skipped) xml += "      <skipped message=\"" + XmlAttr(c.message) + "\"/>\n";
            if (hasLines) xml += "      <system-out>" + JoinedLines(*c.lines) + "</system-out>\n";
        }
        xml += "    </testcase>\n";
    }
    if (!record.summary.empty()) xml += "    <system-out>" + JoinedLines(record.summary) + "</system-out>\n";
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

}  // namespace kw
