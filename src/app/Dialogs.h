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
    explicit Tfirst_run(QWidget *parent = nullptr);

    // "Clicking Here" was followed. The instructions are served by the program
    // itself, on a port known only once its server runs, so the caller opens
    // them then; following the link also closes the dialog, as the program has
    // to start for the page to be there.
    bool instructionsWanted() const { return m_instructionsWanted; }

private:
    bool m_instructionsWanted = false;
};

} // namespace vistrel::app
