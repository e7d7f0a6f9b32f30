// The history panel's "기준 학습": a master version's reference learned from the records an
// engineer names by the panel's filter, approved with a reason.
#include <optional>
#include <string>

#include "gates/engineer.h"
#include "history/history_query.h"
#include "history/wave_reads.h"
#include "toolkit/toolkit.h"
#include "trail/audit_row.h"
#include "trail/audit_trail.h"
#include "wave_check/learned.h"
#include "wave_check/wave_check.h"

namespace wave_check {

namespace {

constexpr const char* TITLE = "기준 학습";

std::string Units(int units) {
    return std::to_string(units) + "대";
}

// False (and the engineer told) unless the filter lists 10 to 1000 units to learn from.
bool CountFits(const history::Filter& filter, const history::NamedUnits& named, int count) {
    if (count >= wave::MIN_LEARN_UNITS && count <= wave::MAX_LEARN_UNITS) {
        return true;
    }
    const std::string text =
        "조건의 기록 중 기준을 학습할 수 있는 기록이 " + Units(count) + "입니다.\n마스터 \"" +
        filter.master + "\"의 최신 버전" +
        (named.version.empty() ? std::string() : " (" + named.version.substr(0, 12) + ")") +
        "으로 O.K 판정된 생산 검사 중 측정 파형이 있는 기록이 " + Units(wave::MIN_LEARN_UNITS) +
        "에서 " + Units(wave::MAX_LEARN_UNITS) + "까지 있어야 합니다.";
    MessagePopup(WARNING_TITLE, text.c_str());
    return false;
}

}  // namespace

void LearnNamed(const history::Filter& filter) {
    history::NamedUnits named;
    int count = 0;
    if (filter.master.empty()) {
        MessagePopup(WARNING_TITLE, "기준을 학습할 마스터를 조건에 입력하십시요.");
        return;
    }
    if (!history::ReadNamedUnits(filter, wave::MAX_LEARN_UNITS, &named, &count)) {
        MessagePopup(WARNING_TITLE, "검사 이력을 읽을 수 없습니다.");
        return;
    }
    if (!CountFits(filter, named, count)) {
        return;
    }
    std::string reason;
    const std::string what = "기준 학습: 마스터 " + filter.master + ", 버전 " +
                             named.version.substr(0, 12) + ", " + Units(count);
    if (!gates::EngineerApproves(what.c_str(), &reason, "기준을 바꾸지 않습니다")) {
        return;
    }
    const std::optional<wave::Reference> reference = wave::Learn(named.waves);
    if (!reference) {
        MessagePopup(WARNING_TITLE,
                     "이상치를 제외하고 남은 기록이 10대보다 적어 기준을 학습하지 "
                     "않았습니다.");
        return;
    }
    if (!history::KeepNamed(named, filter.master, reference->dropped)) {
        MessagePopup(WARNING_TITLE, "기준을 검사 이력 파일에 기록할 수 없어 학습하지 않았습니다.");
        return;
    }
    UseReference(named.version, *reference);
    const std::string learned = LearnedText(named.version, *reference);
    trail::Audit(trail::AUDIT_WAVE_LEARNED, filter.master, "", "엔지니어 지정, " + learned, reason);
    const std::string text = "마스터 " + filter.master + "의 기준을 학습했습니다.\n" + learned +
                             "\n다음 검사부터 이 기준으로 판정합니다.";
    MessagePopup(TITLE, text.c_str());
}

}  // namespace wave_check
