// Must not compile: two input names for a callable of one parameter.
#include <datagraph/FunctionNode.h>

int main() {
    auto node = datagraph::MakeFunctionNode("n", {"a", "b"}, {"out"}, [](int a) { return a; });
    return node == nullptr;
}
