#include "app/Application.h"

int main(int argc, char **argv)
{
    return vistrel::app::runApplication(argc, argv);
}
