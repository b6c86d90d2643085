#pragma once
// What the editor's status line says. A message is the newest news ("Saved 2 actors"); a
// problem (a file that could not be read, a rig line refused) is news that stays on the line
// after newer messages, for the whole session; an alarm (unsaved work not protected) stands in
// front of everything until it is cleared; the prompt (the quit guard) stands in front while it
// is set. Every message is also kept in a short history that the key list (F1) shows in full.
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

// Messages kept in the history, and problems kept on the line (the oldest forgotten beyond).
constexpr std::size_t STATUS_HISTORY_KEPT = 12;
// What the line says when nothing has been said yet.
constexpr const char* STATUS_HINT = "F1 shows every key and mouse action";
// Put between the parts of the line.
constexpr const char* STATUS_SEPARATOR = "   |   ";

class StatusLine {
public:
    // A new message: the newest on the line.
    void tell(const std::string& message);
    // A problem: the newest on the line, and kept on it after newer messages.
    void warn(const std::string& problem);
    // A message for the history only: the line goes on saying what it says.
    void record(const std::string& message) { pushFront(history_, message); }
    // The alarm in front of the line ("" clears it).
    void setAlarm(const std::string& alarm) { alarm_ = alarm; }
    // The prompt in front of the line while it is set ("" clears it).
    void setPrompt(const std::string& prompt) { prompt_ = prompt; }

    // The newest message or problem (the hint before anything was said).
    const std::string& newest() const;
    const std::string& alarm() const { return alarm_; }
    const std::string& prompt() const { return prompt_; }
    // The parts of the line, in the order shown: prompt, alarm, the newest message, then the
    // problems from the newest back (the newest message not twice).
    std::vector<std::string> parts() const;
    // The line as one text, its parts between separators.
    std::string text() const;
    // True when the line should catch the eye (a prompt or an alarm).
    bool urgent() const { return !prompt_.empty() || !alarm_.empty(); }
    // Every message and problem said, newest first (the oldest forgotten beyond the limit).
    const std::deque<std::string>& history() const { return history_; }

private:
    // Puts line in front of list, keeping at most STATUS_HISTORY_KEPT lines.
    static void pushFront(std::deque<std::string>& list, const std::string& line);

    std::string newest_;
    std::string alarm_;
    std::string prompt_;
    std::deque<std::string> problems_;  // newest first
    std::deque<std::string> history_;   // newest first
};
