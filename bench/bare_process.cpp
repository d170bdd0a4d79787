// An application object that does nothing, linked as BARE_LINKED says: the
// floor of a Qt program's resident memory, for idle_cost to compare with.
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return app.exec();
}
