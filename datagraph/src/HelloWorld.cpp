#include <datagraph/HelloWorld.h>

int HelloWorld::doHello() {
    return 42;
}

HelloWorld& HelloWorld::operator=(const HelloWorld&) {
    return *this;
}

HelloWorld& HelloWorld::operator=(HelloWorld&&) {
    return *this;
}
