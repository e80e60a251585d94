#include "query/time_agreement.h"

#include "query/query_messages.h"
#include "query/time_selection.h"
#include "tw/filetime.h"
#include "zymdate_texts.h"

namespace zymdate {

namespace {

int64_t halfWidthUnits(const ServerAnswer& a) {
    return a.delayUnits / 2 + a.rootDistanceUnits;
}

std::string summaryNote(AnswerVerdict verdict) {
    switch (verdict) {
    case AnswerVerdict::Used:
        return {};
    case AnswerVerdict::Falseticker:
        return "disagreed, not used";
    case AnswerVerdict::NoMajority:
        return "not used";
    case AnswerVerdict::Refused:
        break;
    }
    return "gave no time";
}

} // namespace

ServersOutcome combineAnswers(std::vector<ServerAnswer> answers, int64_t pcNowUnits) {
    ServersOutcome out;
    std::vector<size_t> answered;
    std::vector<TimeInterval> intervals;
    std::vector<std::string> reasons;
    for (size_t i = 0; i < answers.size(); ++i) {
        if (answers[i].samples > 0) {
            answered.push_back(i);
            intervals.push_back({answers[i].offsetUnits, halfWidthUnits(answers[i])});
        } else {
            answers[i].verdict = AnswerVerdict::Refused;
            reasons.push_back(answers[i].message);
        }
    }
    if (answered.empty()) {
        out.message = messages::noServerGaveTime(reasons);
        out.answers = std::move(answers);
        return out;
    }

    const TimeSelection selection = selectTime(intervals);
    if (!selection.agreed) {
        std::vector<std::string> names;
        for (size_t i : answered) {
            answers[i].verdict = AnswerVerdict::NoMajority;
            names.push_back(answers[i].server);
        }
        const ServerAnswer& first = answers[answered[0]];
        out.message = answered.size() == 2
                          ? messages::twoDisagree(first.server, answers[answered[1]].server,
                                                  answers[answered[1]].offsetUnits -
                                                      first.offsetUnits)
                          : messages::noMajority(names);
        out.answers = std::move(answers);
        return out;
    }

    // The source: of those agreeing, the one whose own interval is narrowest.
    size_t source = answers.size();
    for (size_t k = 0; k < answered.size(); ++k) {
        ServerAnswer& a = answers[answered[k]];
        if (!selection.inMajority[k]) {
            a.verdict = AnswerVerdict::Falseticker;
            a.message = messages::falseticker(a.server, selection.agreeing);
            continue;
        }
        a.verdict = AnswerVerdict::Used;
        if (source == answers.size() || halfWidthUnits(a) < halfWidthUnits(answers[source]))
            source = answered[k];
    }
    out.offsetUnits = selection.offsetUnits();
    out.errorBoundUnits = selection.errorBoundUnits();
    out.delayUnits = answers[source].delayUnits;
    out.source = answers[source].server;
    out.authenticated = answers[source].authenticated;
    // To the nearest millisecond the record keeps.
    if (!tw::unitsToSystemTime(pcNowUnits + out.offsetUnits + tw::kUnitsPerMillisecond / 2,
                               out.serverTime)) {
        out.message = messages::ntpUnreadableTime(out.source);
        out.answers = std::move(answers);
        return out;
    }
    out.ok = true;
    if (answers.size() == 1) {
        out.message = answers.front().message;
    } else {
        std::vector<messages::AskedServer> asked;
        for (const ServerAnswer& a : answers)
            asked.push_back({a.server, a.samples > 0, a.offsetUnits, summaryNote(a.verdict)});
        out.message = messages::serversSummary(
            out.authenticated ? out.source + ", " ZYMDATE_NTS_TEXT "," : out.source,
            out.errorBoundUnits, asked);
    }
    out.answers = std::move(answers);
    return out;
}

} // namespace zymdate
