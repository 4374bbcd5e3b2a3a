#pragma once

#include <QDialog>

namespace vistrel::app {

// "Already Running": told when a second copy starts while the first lives in the tray.
class Trunning : public QDialog
{
    Q_OBJECT
public:
    static const QString kText;
    explicit Trunning(QWidget *parent = nullptr);
};

// "First Run": shown once on a computer that has never run the program.
class Tfirst_run : public QDialog
{
    Q_OBJECT
public:
    static const QString kText;
    static const QString kWebSite;
    explicit Tfirst_run(QWidget *parent = nullptr);
};

} // namespace vistrel::app
