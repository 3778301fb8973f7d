#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

// A small window showing one picture, normally the company logo.
class frmLOGO : public QWidget
{
    Q_OBJECT
public:
    explicit frmLOGO(QWidget* parent = nullptr);

    QLineEdit* txtLogo = nullptr;
    QLabel* imgLOGO = nullptr;

    // What the settings reader does with the logo: no picture, stretching off,
    // then load the file (an empty or unloadable name leaves no picture).
    void loadLogoPicture(const QString& path);
};
