#pragma once

// The about window: the program's picture, title and version, and links to
// the help page, the project's issues page and its homepage, and the licence.

#include "ui/common/ModalForm.h"

class QLabel;
class QPushButton;

class TfrmAbout : public TModalForm {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* owner = nullptr);

signals:
    // "Online Resources": the owner opens the help page shipped with the program.
    void OnlineResourcesRequested();

public:

    QLabel* imgAbout;
    QLabel* lblTitle;
    QLabel* lblHeading;
    QLabel* lblVersion;
    QLabel* lblLicence;
    QLabel* lblHomepage;
    QPushButton* btnTechnicalSupport;
    QPushButton* btnOnlineResources;
    QPushButton* btnOK;
};
