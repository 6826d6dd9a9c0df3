// The guide's quick start: node functions made from lambdas, plain C++ types on the pins, and an
// input cell that the host changes before each recomputation.

#include <datagraph/DataGraph.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "failed: %s\n", what);
        std::exit(1);
    }
}

} // namespace

int main() {
    using namespace datagraph;
    // [quick start]
    Graph graph(CreateGUID());
    auto price = MakeInputCell<double>("price");
    auto withTax =
        MakeFunctionNode("with tax", {"net"}, {"gross"}, [](double net) { return net * 1.2; });
    graph.CreateNode(price, GetNullGUID());
    graph.CreateNode(withTax, GetNullGUID());
    graph.LinkPins(price->Output("value"), withTax->Input("net"));

    PutValueOnPin(graph, price->Output("value"), 10.0);
    graph.Traverse();
    double gross = GetValueFromPin<double>(graph, withTax->Output("gross")); // 12
    // [quick start]
    Check(gross == 12.0, "10 with tax");

    // [recompute]
    PutValueOnPin(graph, price->Output("value"), 20.0); // the cell keeps what the host puts on it
    graph.Traverse();
    Check(GetValueFromPin<double>(graph, withTax->Output("gross")) == 24.0, "20 with tax");
    // [recompute]

    // [signatures]
    // Several results are a tuple; an empty optional leaves its output unwritten.
    auto divide =
        MakeFunctionNode("divide", {"a", "b"}, {"quotient", "remainder"}, [](int a, int b) {
            if (b == 0)
                return std::make_tuple(std::optional<int>(), std::optional<int>());
            return std::make_tuple(std::optional<int>(a / b), std::optional<int>(a % b));
        });
    // An optional input may find no value on its pin.
    auto label = MakeFunctionNode("label", {"text", "suffix"}, {"label"},
                                  [](const std::string& text, std::optional<std::string> suffix) {
                                      return text + suffix.value_or("");
                                  });
    // [signatures]
    const DataMap quotient =
        divide->Execute({{divide->Input("a"), MakeValue(7)}, {divide->Input("b"), MakeValue(2)}});
    Check(ValueOf<int>(quotient.at(divide->Output("remainder"))) == 1, "7 % 2");
    const DataMap labelled = label->Execute({{label->Input("text"), MakeValue(std::string("x"))}});
    Check(ValueOf<std::string>(labelled.at(label->Output("label"))) == "x", "no suffix");

    // [pin ids]
    // A pin's id follows from the node's id and the pin's name, so it can be found again.
    const GUID nodeId = CreateGUID();
    auto twice = MakeFunctionNode(
        "twice", {"x"}, {"y"}, [](int x) { return 2 * x; }, nodeId);
    Check(twice->Output("y") == boost::uuids::name_generator_sha1(nodeId)("y"), "derived id");
    // [pin ids]

    // [input list]
    // A last parameter InputList<T> takes every input named after the fixed ones, in order.
    std::vector<std::string> names{"rate"};
    for (const char* month : {"jan", "feb", "mar"})
        names.push_back(month);
    auto total =
        MakeFunctionNode("total", names, {"total"}, [](double rate, InputList<double> amounts) {
            double sum = 0;
            for (double amount : amounts)
                sum += amount;
            return sum * rate;
        });
    // [input list]
    DataMap months{{total->Input("rate"), MakeValue(2.0)}};
    for (const char* month : {"jan", "feb", "mar"})
        months.emplace(total->Input(month), MakeValue(1.5));
    Check(ValueOf<double>(total->Execute(months).at(total->Output("total"))) == 9.0, "list sum");
    return 0;
}
