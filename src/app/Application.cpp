#include "app/Application.h"

#include <QApplication>

namespace vistrel::app {

int runApplication(int argc, char **argv)
{
    QApplication app(argc, argv);
    return 0;
}

} // namespace vistrel::app
