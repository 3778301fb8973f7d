#pragma once

#include <QWidget>

class frmadoHelper;

// The program's start-up window and its only working window.
class frmVESKauction : public QWidget
{
    Q_OBJECT
public:
    explicit frmVESKauction(frmadoHelper& helper, QWidget* parent = nullptr);

    // The start-up sequence. False when the program is to end (no store identifier).
    bool Form_Load();

signals:
    // The program is to end now (close icon, missing store identifier).
    void programEnded();

private:
    frmadoHelper& m_helper;
};
