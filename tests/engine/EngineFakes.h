#pragma once

// Stand-ins for the windows the engine talks to: a progress view that records
// what it is shown, a prompter that answers from a script, a host and a power
// layer that only count.

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/AppUtils.h"
#include "engine/BatchDriver.h"
#include "support/FakePowerActions.h"

namespace qvtest {

// Everything a progress view was shown; outlives the view.
struct TViewRecord {
    std::map<TProgressLabel, std::string> Labels;
    std::map<TProgressLabel, int> LabelSets;
    int StatusProgress = -1;
    int BatchProgress = -1;
    std::string Caption;
    std::vector<std::string> TrayHints;
    bool Animation = false;
    int Resets = 0;
    bool Finished = false;
    bool Cancelled = false;
    int ModalResult = mrNone;
    std::vector<std::vector<TRunningFile>> Running; // every list of running files shown
    size_t MostRunning = 0;                         // the longest of them
};

class TFakeView : public TProgressView {
public:
    explicit TFakeView(std::shared_ptr<TViewRecord> record, TEventLoop* loop = nullptr)
        : rec_(std::move(record)), loop_(loop)
    {
    }
    void SetLabel(TProgressLabel label, const std::string& text) override
    {
        rec_->Labels[label] = text;
        rec_->LabelSets[label] += 1;
        if (OnLabel)
            OnLabel(label, text);
    }
    void SetStatusProgress(int percent) override { rec_->StatusProgress = percent; }
    void SetBatchProgress(int percent) override { rec_->BatchProgress = percent; }
    void SetCaption(const std::string& caption) override { rec_->Caption = caption; }
    bool AnimationRunning() const override { return rec_->Animation; }
    void StartAnimation() override { rec_->Animation = true; }
    void SetTrayHint(const std::string& hint) override { rec_->TrayHints.push_back(hint); }
    void ResetProgress() override
    {
        rec_->Resets += 1;
        rec_->Animation = false;
    }
    void MarkFinished() override { rec_->Finished = true; }
    void SetRunningFiles(const std::vector<TRunningFile>& files) override
    {
        rec_->Running.push_back(files);
        rec_->MostRunning = std::max(rec_->MostRunning, files.size());
        if (OnRunning)
            OnRunning(files);
    }
    // Runs the loop until the batch marks the view finished or the user
    // (a test hook) cancels; gives up after 60 s.
    int ShowModal() override
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!rec_->Finished && !rec_->Cancelled && loop_ && std::chrono::steady_clock::now() < deadline)
            loop_->ProcessEvents(20);
        rec_->ModalResult = rec_->Finished ? mrOk : mrCancel;
        return rec_->ModalResult;
    }
    // "Stop now" from a hook.
    void Cancel() { rec_->Cancelled = true; }

    std::function<void(TProgressLabel, const std::string&)> OnLabel;
    std::function<void(const std::vector<TRunningFile>&)> OnRunning;

private:
    std::shared_ptr<TViewRecord> rec_;
    TEventLoop* loop_;
};

struct TShownMessage {
    std::string Text;
    std::string Caption;
    TMsgIcon Icon;
};

class TFakePrompter : public TPrompter {
public:
    std::vector<TShownMessage> Messages;
    std::vector<std::string> Errors;
    std::deque<int> ChoiceAnswers;   // next answers of Choice
    std::deque<int> YesNoAnswers;    // next answers of AskYesNoCancel
    int ChoiceCalls = 0;
    std::vector<int> YesNoDefaults;

    void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) override
    {
        Messages.push_back({text, caption, icon});
    }
    int Choice(const std::string& text, const std::string& title, TMsgIcon, const std::vector<TMsgButton>&,
               const std::vector<std::string>&) override
    {
        ++ChoiceCalls;
        Messages.push_back({text, title, TMsgIcon::Confirmation});
        if (ChoiceAnswers.empty())
            return mrCancel;
        int a = ChoiceAnswers.front();
        ChoiceAnswers.pop_front();
        return a;
    }
    int AskYesNoCancel(const std::string& text, const std::string& caption, TMsgIcon, int defaultButton) override
    {
        YesNoDefaults.push_back(defaultButton);
        Messages.push_back({text, caption, TMsgIcon::Confirmation});
        if (YesNoAnswers.empty())
            return mrCancel;
        int a = YesNoAnswers.front();
        YesNoAnswers.pop_front();
        return a;
    }
    void ShowError(const std::string& message) override { Errors.push_back(message); }

    bool Shown(const std::string& text) const
    {
        for (const auto& m : Messages)
            if (m.Text == text)
                return true;
        return false;
    }
};

class TFakeHost : public TBatchHost {
public:
    explicit TFakeHost(TEventLoop& loop) : loop_(loop) {}
    std::shared_ptr<TViewRecord> Record;
    int ViewsCreated = 0;
    std::vector<std::string> Balloons;
    int Countdowns = 0;
    bool CountdownRunsOut = true;
    std::vector<bool> Inhibits;
    // Called with each new view, to install user actions.
    std::function<void(TFakeView&)> OnView;

    std::unique_ptr<TProgressView> CreateProgressView() override
    {
        ++ViewsCreated;
        Record = std::make_shared<TViewRecord>();
        auto view = std::make_unique<TFakeView>(Record, &loop_);
        if (OnView)
            OnView(*view);
        return view;
    }
    void ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon, int) override
    {
        Balloons.push_back(title + "|" + text);
    }
    // "title|text" of each error announcement.
    std::vector<std::string> ErrorAnnouncements;
    void AnnounceBatchErrors(const std::string& title, const std::string& text) override
    {
        ErrorAnnouncements.push_back(title + "|" + text);
    }
    bool ShowShutdownCountdown() override
    {
        ++Countdowns;
        return CountdownRunsOut;
    }
    void InhibitSleep(bool inhibit) override { Inhibits.push_back(inhibit); }
    // The notes shown per file ("file|note") and the batch summaries.
    std::vector<std::string> FileNotes;
    std::vector<std::vector<TFileNote>> BatchNotes;
    void ShowFileNotes(const std::string& file, const std::vector<std::string>& notes) override
    {
        for (const auto& n : notes)
            FileNotes.push_back(file + "|" + n);
    }
    void ShowBatchNotes(const std::vector<TFileNote>& notes) override { BatchNotes.push_back(notes); }

private:
    TEventLoop& loop_;
};


} // namespace qvtest
