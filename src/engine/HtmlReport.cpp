#include "engine/HtmlReport.h"

#include "engine/LogLineKind.h"
#include "engine/XmlText.h"

#include <algorithm>
#include <cmath>

namespace kw {

namespace {

constexpr char kStyle[] = R"(
body { font-family: "Segoe UI", Tahoma, Verdana, sans-serif; font-size: 10pt; color: #111; margin: 1.5em; }
h1 { font-size: 16pt; margin: 0 0 .4em 0; }
h2 { font-size: 12pt; margin: 1.6em 0 .5em 0; border-bottom: 1px solid #ccc; }
h3 { font-size: 10pt; margin: .8em 0 .3em 0; }
table { border-collapse: collapse; }
th, td { border: 1px solid #bbb; padding: .25em .6em; text-align: left; vertical-align: top; }
th { background: #eee; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
table.facts th { width: 10em; }
.small { color: #555; font-size: 9pt; }
.verdict { border: 1px solid; padding: .5em .8em; margin: .6em 0 1em 0; font-family: Consolas, "Courier New", monospace; white-space: pre-wrap; }
.verdict.succeeded { background: #e6f4e6; border-color: #7bbf7b; }
.verdict.failed { background: #fbe5e3; border-color: #d9534f; }
.verdict.stopped { background: #fff3d6; border-color: #e0b050; }
td.succeeded { color: #1b6e1b; }
td.failed, td.notstarted, td.timedout { color: #b02a25; font-weight: bold; }
td.notrun, td.stopped { color: #7a5b00; }
svg { display: block; width: 100%; max-width: 1000px; height: auto; border: 1px solid #ccc; background: #fcfcfc; }
svg text { font-family: "Segoe UI", Tahoma, Verdana, sans-serif; font-size: 11px; fill: #222; }
svg text.axis { fill: #666; font-size: 10px; }
svg text.bar { fill: #fff; }
svg line { stroke: #e2e2e2; }
rect.succeeded { fill: #4a9d4a; }
rect.failed, rect.notstarted { fill: #c9302c; }
rect.timedout { fill: #e07b00; }
rect.stopped, rect.notrun { fill: #9a9a9a; }
.legend span { display: inline-block; margin-right: 1.2em; }
.legend i { display: inline-block; width: .9em; height: .9em; margin-right: .3em; vertical-align: -1px; }
details { border: 1px solid #ccc; margin: .3em 0; padding: .2em .6em; }
details[open] { padding-bottom: .6em; }
summary { cursor: pointer; }
pre { background: #f6f6f6; border: 1px solid #e0e0e0; padding: .4em .6em; margin: 0; font-family: Consolas, "Courier New", monospace; font-size: 9pt; white-space: pre-wrap; overflow-wrap: anywhere; }
pre .e { background: #fbd9d7; color: #8a1410; display: block; }
pre .w { background: #fff0c2; color: #6b4e00; display: block; }
p.none { color: #777; font-style: italic; margin: 0; }
)";

// The CSS class of a verdict, also used for colours in the table and the timeline.
const char* ClassOf(StepRecord::Verdict verdict) {
    switch (verdict) {
    case StepRecord::Succeeded: return "succeeded";
    case StepRecord::Failed: return "failed";
    case StepRecord::NotStarted: return "notstarted";
    case StepRecord::NotRun: return "notrun";
    case StepRecord::Stopped: return "stopped";
    case StepRecord::TimedOut: return "timedout";
    }
    return "failed";
}

const char* KindWord(CompilerKind kind) {
    switch (kind) {
    case CompilerVC6: return "Visual C++";
    case CompilerVB6: return "Visual Basic";
    default: return "unknown kind";
    }
}

std::string Text(std::wstring_view text) { return XmlText(text); }
std::string Count(int value) { return value < 0 ? "&#8211;" : std::to_string(value); }
std::string TargetAnchor(size_t index) { return "log-" + std::to_string(index + 1); }

std::string Facts(const RunRecord& record) {
    std::string html = "<table class=\"facts\">\n";
    auto row = [&html](const char* name, const std::string& value) {
        html += std::string("<tr><th>") + name + "</th><td>" + value + "</td></tr>\n";
    };
    row("Package", Text(record.packageName) + " <span class=\"small\">" + Text(record.packagePath) + "</span>");
    row("Started", Text(FormatTimestamp(record.started)));
    row("Duration", Text(FormatDuration(record.durationMs)));
    row("Actions", Text(record.actions));
    row("Versions stamped", record.versions.empty() ? std::string("none") : Text(record.versions));
    return html + "</table>\n";
}

// A tick spacing a clock reader finds round, giving at most about ten ticks over span.
long long TickSpacing(long long spanMs) {
    static const long long kSpacings[] = {100,    200,    500,    1000,    2000,    5000,    10000,   15000,
                                          30000,  60000,  120000, 300000,  600000,  900000,  1800000, 3600000};
    for (long long spacing : kSpacings) {
        if (spanMs / spacing <= 10) return spacing;
    }
    const long long hour = 3600000;
    return (spanMs / (10 * hour) + 1) * hour;
}

// "0", "2 s", "1 min 30 s": whole seconds without the tenths FormatDuration shows below 10 s.
std::wstring AxisLabel(long long ms) {
    if (ms == 0) return L"0";
    if (ms % 1000 == 0 && ms < 60000) return std::to_wstring(ms / 1000) + L" s";
    return FormatDuration(ms);
}

// One row per target that ran a builder, one bar per builder run along a common time axis: a
// parallel run shows which builders overlapped.
std::string Timeline(const RunRecord& record) {
    long long span = std::max<long long>(record.durationMs, 1);
    std::vector<size_t> rows;
    for (size_t i = 0; i < record.targets.size(); ++i) {
        bool any = false;
        for (const StepRecord& step : record.targets[i].steps) {
            if (step.Began()) {
                any = true;
                span = std::max(span, step.endMs);
            }
        }
        if (any) rows.push_back(i);
    }
    if (rows.empty()) return "<p class=\"none\" id=\"timeline\">No builder ran.</p>\n";

    constexpr int kWidth = 1000, kLabel = 190, kRight = 16, kTop = 8, kRow = 24, kBar = 16, kAxis = 22;
    const double plot = kWidth - kLabel - kRight;
    const int height = kTop + static_cast<int>(rows.size()) * kRow + kAxis;
    auto x = [&](long long ms) { return kLabel + plot * static_cast<double>(ms) / static_cast<double>(span); };
    auto num = [](double value) {
        long long tenths = std::llround(value * 10);
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"timeline\" viewBox=\"0 0 " +
                      std::to_string(kWidth) + " " + std::to_string(height) + "\" width=\"" + std::to_string(kWidth) +
                      "\" height=\"" + std::to_string(height) + "\" role=\"img\">\n";
    svg += "<title>Builder runs over time</title>\n";
    const int axisY = kTop + static_cast<int>(rows.size()) * kRow;
    const long long tick = TickSpacing(span);
    for (long long at = 0; at <= span; at += tick) {
        const std::string tx = num(x(at));
        svg.append("<line x1=\"").append(tx).append("\" y1=\"").append(std::to_string(kTop - 4));
        svg.append("\" x2=\"").append(tx).append("\" y2=\"").append(std::to_string(axisY)).append("\"/>");
        // The last label would be cut at the right edge if centred on its tick.
        const char* anchor = x(at) > kWidth - 40 ? "end" : "middle";
        svg += "<text class=\"axis\" x=\"" + tx + "\" y=\"" + std::to_string(axisY + 14) + "\" text-anchor=\"" +
               anchor + "\">" + Text(AxisLabel(at)) + "</text>\n";
    }
    for (size_t row = 0; row < rows.size(); ++row) {
        const TargetRecord& target = record.targets[rows[row]];
        const int y = kTop + static_cast<int>(row) * kRow;
        std::wstring label = TargetDisplayName(target);
        if (label.size() > 28) {
            label.resize(27);
            label += L"\x2026";
        }
        svg += "<text x=\"6\" y=\"" + std::to_string(y + kBar - 3) + "\">" + Text(label) + "</text>\n";
        for (const StepRecord& step : target.steps) {
            if (!step.Began()) continue;
            const double left = x(step.startMs);
            const double width = std::max(2.0, x(step.endMs) - left);
            const std::wstring tip = StepDisplayName(target, step) + L": " + StepVerdictWords(step) + L", " +
                                     FormatDuration(step.DurationMs()) + L" (from " + FormatDuration(step.startMs) +
                                     L" to " + FormatDuration(step.endMs) + L")";
            svg += "<rect class=\"" + std::string(ClassOf(step.verdict)) + "\" x=\"" + num(left) + "\" y=\"" +
                   std::to_string(y + (kRow - kBar) / 2 - 2) + "\" width=\"" + num(width) + "\" height=\"" +
                   std::to_string(kBar) + "\" rx=\"2\"><title>" + Text(tip) + "</title></rect>";
            // The step's words inside its bar when they fit.
            const std::wstring& words = step.what;
            if (!words.empty() && width >= 6.2 * static_cast<double>(words.size()) + 8) {
                svg += "<text class=\"bar\" x=\"" + num(left + 4) + "\" y=\"" + std::to_string(y + kBar - 3) + "\">" +
                       Text(words) + "</text>";
            }
            svg += "\n";
        }
    }
    svg += "</svg>\n";
    svg += "<p class=\"legend small\"><span><i style=\"background:#4a9d4a\"></i>succeeded</span>"
           "<span><i style=\"background:#c9302c\"></i>failed or not started</span>"
           "<span><i style=\"background:#e07b00\"></i>timed out</span>"
           "<span><i style=\"background:#9a9a9a\"></i>stopped</span></p>\n";
    return svg;
}

std::string StepTable(const RunRecord& record) {
    std::string html = "<table class=\"steps\" id=\"steps\">\n<thead><tr><th>Target</th><th>Step</th><th>Verdict</th>"
                       "<th>Began at</th><th>Duration</th><th>Errors</th><th>Warnings</th></tr></thead>\n<tbody>\n";
    for (size_t i = 0; i < record.targets.size(); ++i) {
        const TargetRecord& target = record.targets[i];
        std::string head = "<td rowspan=\"" + std::to_string(std::max<size_t>(target.steps.size(), 1)) + "\"><a href=\"#" +
                           TargetAnchor(i) + "\">" + Text(TargetDisplayName(target)) + "</a><br/><span class=\"small\">#" +
                           std::to_string(target.projectId) + ", " + KindWord(target.kind);
        if (!target.stampedVersion.empty()) head += ", version " + Text(target.stampedVersion);
        head += "</span></td>";
        if (target.steps.empty()) {
            html += "<tr>" + head + "<td>&#8211;</td><td class=\"notrun\">" +
                    Text(target.notRunReason.empty() ? std::wstring(L"not run") : L"not run: " + target.notRunReason) +
                    "</td><td class=\"n\">&#8211;</td><td class=\"n\">&#8211;</td><td class=\"n\">&#8211;</td>"
                    "<td class=\"n\">&#8211;</td></tr>\n";
            continue;
        }
        for (size_t s = 0; s < target.steps.size(); ++s) {
            const StepRecord& step = target.steps[s];
            html += "<tr>" + (s == 0 ? head : std::string()) + "<td>" +
                    Text(step.what.empty() ? std::wstring(L"build") : step.what) + "</td><td class=\"" +
                    ClassOf(step.verdict) + "\">" + Text(StepVerdictWords(step)) + "</td>";
            if (step.Began()) {
                html += "<td class=\"n\">" + Text(FormatDuration(step.startMs)) + "</td><td class=\"n\">" +
                        Text(FormatDuration(step.DurationMs())) + "</td>";
            } else {
                html += "<td class=\"n\">&#8211;</td><td class=\"n\">&#8211;</td>";
            }
            html += "<td class=\"n\">" + Count(step.errors) + "</td><td class=\"n\">" + Count(step.warnings) +
                    "</td></tr>\n";
        }
    }
    return html + "</tbody>\n</table>\n";
}

void AppendLog(std::string& html, const std::vector<std::wstring>& lines) {
    if (lines.empty()) {
        html += "<p class=\"none\">No output.</p>\n";
        return;
    }
    html += "<pre>";
    for (const std::wstring& line : lines) {
        switch (ClassifyLogLine(line)) {
        case LogLineKind::Error: html += "<span class=\"e\">" + Text(line) + "</span>"; break;
        case LogLineKind::Warning: html += "<span class=\"w\">" + Text(line) + "</span>"; break;
        case LogLineKind::Plain: html += Text(line) + "\n"; break;
        }
    }
    html += "</pre>\n";
}

std::string Logs(const RunRecord& record) {
    std::string html;
    for (size_t i = 0; i < record.targets.size(); ++i) {
        const TargetRecord& target = record.targets[i];
        const StepRecord::Verdict verdict = TargetVerdict(target);
        size_t errorLines = 0, warningLines = 0;
        for (const StepRecord& step : target.steps) {
            for (const std::wstring& line : step.lines) {
                LogLineKind kind = ClassifyLogLine(line);
                errorLines += kind == LogLineKind::Error;
                warningLines += kind == LogLineKind::Warning;
            }
        }
        std::wstring verdictWords = verdict == StepRecord::Succeeded ? L"succeeded"
                                    : verdict == StepRecord::NotRun  ? L"not run"
                                    : verdict == StepRecord::Stopped ? L"stopped"
                                                                     : L"failed";
        html += "<details id=\"" + TargetAnchor(i) + "\" class=\"" + ClassOf(verdict) + "\"><summary><b>" +
                Text(TargetDisplayName(target)) + "</b> &#8212; " + Text(verdictWords);
        if (errorLines) html += ", " + std::to_string(errorLines) + " error line" + (errorLines == 1 ? "" : "s");
        if (warningLines) html += ", " + std::to_string(warningLines) + " warning line" + (warningLines == 1 ? "" : "s");
        html += "</summary>\n";
        if (target.steps.empty()) {
            html += "<p class=\"none\">" +
                    Text(target.notRunReason.empty() ? std::wstring(L"Not run.") : L"Not run: " + target.notRunReason) +
                    "</p>\n";
        }
        for (const StepRecord& step : target.steps) {
            html += "<h3>" + Text(StepDisplayName(target, step)) + " &#8212; " + Text(StepVerdictWords(step)) + "</h3>\n";
            AppendLog(html, step.lines);
        }
        html += "</details>\n";
    }
    return html;
}

}  // namespace

std::string HtmlReport(const RunRecord& record) {
    const RunVerdict verdict = record.Verdict();
    const char* verdictClass = verdict == RunVerdict::Succeeded ? "succeeded"
                               : verdict == RunVerdict::Stopped ? "stopped"
                                                                : "failed";
    const char* verdictWord = verdict == RunVerdict::Succeeded ? "succeeded"
                              : verdict == RunVerdict::Stopped ? "stopped"
                                                               : "failed";
    std::string html = "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
                       "<meta charset=\"utf-8\"/>\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n<title>";
    html += Text(record.packageName) + " &#8212; Kilnworks run " + verdictWord + ", " +
            Text(FormatTimestamp(record.started)) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    html += "<h1>" + Text(record.packageName) + "</h1>\n";
    html += std::string("<div class=\"verdict ") + verdictClass + "\" id=\"verdict\">";
    if (record.summary.empty()) html += std::string("The run ") + verdictWord + ".";
    for (size_t i = 0; i < record.summary.size(); ++i) html += (i ? "\n" : "") + Text(record.summary[i]);
    html += "</div>\n";
    html += Facts(record);
    html += "<h2>Timeline</h2>\n" + Timeline(record);
    html += "<h2>Targets and steps</h2>\n" + StepTable(record);
    html += "<h2>Logs</h2>\n" + Logs(record);
    html += "<p class=\"small\">Written by Kilnworks.</p>\n</body>\n</html>\n";
    return html;
}

}  // namespace kw
