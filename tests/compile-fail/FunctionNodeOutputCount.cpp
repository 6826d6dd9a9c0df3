// Must not compile: one output name for a callable with two results.
#include <datagraph/FunctionNode.h>

#include <tuple>

int main() {
    auto node = datagraph::MakeFunctionNode("n", {"a"}, {"out"},
                                            [](int a) { return std::make_tuple(a, a); });
    return node == nullptr;
}
