#pragma once

// The main window's side of a batch: its file list as the queue, and the
// batch windows, tray balloon and sleep inhibitor over the main window.

#include "app/Settings.h"
#include "engine/BatchDriver.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtDispatcher.h"
#include "ui/common/QtPrompter.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/BatchHost.h"
#include "ui/main/MainWnd.h"
#include "ui/main/SleepInhibitor.h"

#include <QCheckBox>

// The file list as the batch's queue.
class TMainFileQueue : public TFileQueue {
public:
    explicit TMainFileQueue(TfrmMain& main) : main_(main) {}
    int Count() const override { return main_.FileCount(); }
    std::string FullName(int index) const override { return main_.FilePathAt(index); }
    std::string SizeText(int index) const override
    {
        const TFileItem* item = main_.FileItemAt(index);
        return item ? item->FileSize : std::string("0");
    }
    void RemoveFileByPath(const std::string& path) override { main_.RemoveFileByPath(path); }
    void MoveFileToEnd(const std::string& path) override { main_.MoveFileToEnd(path); }
    void MarkAllFailed() override
    {
        for (int i = 0; i < main_.FileCount(); ++i)
            main_.SetFileImage(i, 1);
    }

private:
    TfrmMain& main_;
};

// The batch's windows over the main window; the main window also keeps the
// machine awake and knows its progress window while a batch runs.
class TMainBatchHost : public TGuiBatchHost {
public:
    explicit TMainBatchHost(TfrmMain& main) : TGuiBatchHost(&main, main.TrayIcon()), main_(main) {}

    std::unique_ptr<TProgressView> CreateProgressView() override
    {
        // The machine stays awake from here until ConvertFiles has returned.
        InhibitSleep(true);
        auto view = TGuiBatchHost::CreateProgressView();
        main_.progress_ = dynamic_cast<QWidget*>(view.get());
        // The progress window's two check boxes change the armed options;
        // the line on the main window follows them at once.
        if (main_.progress_)
            for (const char* name : {"chkDelSource", "chkShutdown"})
                if (auto* box = main_.progress_->findChild<QCheckBox*>(QString::fromLatin1(name)))
                    QObject::connect(box, &QCheckBox::toggled, &main_, [this] { main_.UpdateArmedLine(); });
        if (main_.BatchStartedHook && main_.progress_)
            main_.BatchStartedHook(main_.progress_);
        return view;
    }

    void ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon, int timeoutMs) override
    {
        main_.lastBalloon_ = text;
        TGuiBatchHost::ShowTrayBalloon(title, text, icon, timeoutMs);
    }

    void InhibitSleep(bool inhibit) override
    {
        if (inhibit)
            main_.sleepInhibitor_->Acquire(Q(ApplicationTitle), DisplayText(IDS_ID_EncodingInProgress));
        else
            main_.sleepInhibitor_->Release();
    }

private:
    TfrmMain& main_;
};

