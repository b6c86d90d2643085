#include "editor/StatusLine.h"

void StatusLine::pushFront(std::deque<std::string>& list, const std::string& line) {
    list.push_front(line);
    while (list.size() > STATUS_HISTORY_KEPT) list.pop_back();
}

void StatusLine::tell(const std::string& message) {
    newest_ = message;
    pushFront(history_, message);
}

void StatusLine::warn(const std::string& problem) {
    tell(problem);
    for (auto it = problems_.begin(); it != problems_.end(); ++it)
        if (*it == problem) {
            problems_.erase(it);
            break;
        }
    pushFront(problems_, problem);
}

const std::string& StatusLine::newest() const {
    static const std::string hint = STATUS_HINT;
    return history_.empty() ? hint : newest_;
}

std::vector<std::string> StatusLine::parts() const {
    std::vector<std::string> out;
    if (!prompt_.empty()) out.push_back(prompt_);
    if (!alarm_.empty()) out.push_back(alarm_);
    out.push_back(newest());
    for (const std::string& problem : problems_)
        if (problem != newest_) out.push_back(problem);
    return out;
}

std::string StatusLine::text() const {
    std::string line;
    for (const std::string& part : parts()) {
        if (!line.empty()) line += STATUS_SEPARATOR;
        line += part;
    }
    return line;
}
