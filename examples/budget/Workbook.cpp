#include "Workbook.h"

#include <datagraph/InputList.h>
#include <datagraph/UbernodeNodeFunction.h>

#include <cmath>

namespace budget {

namespace {

using datagraph::Graph;
using datagraph::InputList;
using datagraph::MakeFunctionNode;
using datagraph::UbernodeNodeFunction;
using datagraph::Value;

// One input per term, however many there are.
auto Sum(const std::string& name, const std::vector<std::string>& terms) {
    return MakeFunctionNode(
        name, terms, {name},
        [](InputList<Money> amounts) {
            long long total = 0;
            for (const Money& amount : amounts) {
                total += amount.cents;
            }
            return Money{total};
        },
        datagraph::CreateGUID(), "the sum of its inputs");
}

auto TimesTwelve(const std::string& name) {
    return MakeFunctionNode(
        name, {"month"}, {name}, [](Money month) { return Money{12 * month.cents}; },
        datagraph::CreateGUID(), "a monthly amount over a year");
}

// The reusable block: gross amount and tax rate in, net amount and tax out. Its inner graph
// has nodes of its own; the outer graph sees one node whose pins are inner pins.
std::shared_ptr<UbernodeNodeFunction> IncomeTaxBlock() {
    auto inner = std::make_shared<Graph>(datagraph::CreateGUID());
    auto gross = MakeFunctionNode(
        "gross", {"gross"}, {"amount"}, [](Money gross) { return gross; }, datagraph::CreateGUID(),
        "hands the gross amount to both formulas");
    auto tax = MakeFunctionNode(
        "tax", {"amount", "rate"}, {"tax"},
        [](Money amount, Rate rate) {
            return Money{std::llround(static_cast<double>(amount.cents) * rate.percent / 100)};
        },
        datagraph::CreateGUID(), "the tax on the gross amount");
    auto net = MakeFunctionNode(
        "net", {"amount", "tax"}, {"net"},
        [](Money amount, Money tax) { return Money{amount.cents - tax.cents}; },
        datagraph::CreateGUID(), "the gross amount less the tax");
    inner->CreateNode(gross, datagraph::GetNullGUID());
    inner->CreateNode(tax, datagraph::GetNullGUID());
    inner->CreateNode(net, datagraph::GetNullGUID());
    inner->LinkPins(gross->Output("amount"), tax->Input("amount"));
    inner->LinkPins(gross->Output("amount"), net->Input("amount"));
    inner->LinkPins(tax->Output("tax"), net->Input("tax"));
    return std::make_shared<UbernodeNodeFunction>(
        inner,
        datagraph::Schema{{gross->Input("gross"), typeid(Value<Money>)},
                          {tax->Input("rate"), typeid(Value<Rate>)}},
        datagraph::Schema{{net->Output("net"), typeid(Value<Money>)},
                          {tax->Output("tax"), typeid(Value<Money>)}},
        "income tax", "net income and tax from gross income and a tax rate",
        datagraph::CreateGUID());
}

} // namespace

Workbook::Workbook() {
    BuildMonthly();
    BuildYearly();
}

std::map<GUID, std::string> Workbook::SubgraphNames() const {
    return {{monthly, "monthly budget"}, {yearly, "yearly outlook"}};
}

void Workbook::BuildMonthly() {
    const GUID salary = AddCell("salary", Cents(420000));
    const GUID sideJob = AddCell("side job", Cents(65000));
    const GUID taxRate = AddCell("tax rate", Rate{22.0});
    const GUID rent = AddCell("rent", Cents(145000));
    const GUID groceries = AddCell("groceries", Cents(62000));
    const GUID transport = AddCell("transport", Cents(23000));
    // Typed as text by mistake, and linked to a rate input all the same.
    const GUID goal = AddCell("savings goal", Text{"15%"});
    AddCell("notes", Text{"car insurance is due in March"});

    const auto gross = AddNode(Sum("gross income", {"salary", "side job"}), monthly);
    graph.LinkPins(salary, gross->Input("salary"));
    graph.LinkPins(sideJob, gross->Input("side job"));

    const auto tax = AddNode(IncomeTaxBlock(), monthly);
    const Graph& inner = *tax->GetGraph();
    for (const auto& [pinId, type] : tax->GetInputSchema()) {
        graph.LinkPins(type == typeid(Value<Money>) ? gross->Output("gross income") : taxRate,
                       pinId);
    }
    for (const auto& [pinId, type] : tax->GetOutputSchema()) {
        const std::string name =
            inner.GetConstNode(inner.GetOwningNode(pinId)).GetNodeFunction().GetName();
        outputs[name == "net" ? "net income" : "income tax"] = pinId;
    }

    const auto expenses = AddNode(Sum("expenses", {"rent", "groceries", "transport"}), monthly);
    graph.LinkPins(rent, expenses->Input("rent"));
    graph.LinkPins(groceries, expenses->Input("groceries"));
    graph.LinkPins(transport, expenses->Input("transport"));

    const auto leftOver =
        AddNode(MakeFunctionNode(
                    "left over", {"net income", "expenses"}, {"left over"},
                    [](Money net, Money expenses) { return Money{net.cents - expenses.cents}; },
                    datagraph::CreateGUID(), "net income less expenses"),
                monthly);
    graph.LinkPins(outputs["net income"], leftOver->Input("net income"));
    graph.LinkPins(expenses->Output("expenses"), leftOver->Input("expenses"));
    outputs["left over"] = leftOver->Output("left over");

    const auto savingsRate =
        AddNode(MakeFunctionNode(
                    "savings rate", {"left over", "net income"}, {"savings rate"},
                    [](Money leftOver, Money net) {
                        return Rate{100.0 * static_cast<double>(leftOver.cents) /
                                    static_cast<double>(net.cents)};
                    },
                    datagraph::CreateGUID(), "the share of net income left over"),
                monthly);
    graph.LinkPins(outputs["left over"], savingsRate->Input("left over"));
    graph.LinkPins(outputs["net income"], savingsRate->Input("net income"));

    const auto summary =
        AddNode(MakeFunctionNode("summary", {"left over", "savings rate"}, {"text"},
                                 [](Money leftOver, Rate savingsRate) {
                                     return Text{FormatMoney(leftOver) + " left over, " +
                                                 FormatRate(savingsRate) + " of net income"};
                                 }),
                monthly);
    graph.LinkPins(outputs["left over"], summary->Input("left over"));
    graph.LinkPins(savingsRate->Output("savings rate"), summary->Input("savings rate"));

    const auto goalCheck = AddNode(
        MakeFunctionNode(
            "goal check", {"savings rate", "goal"}, {"goal check"},
            [](Rate savingsRate, Rate goal) {
                return Text{savingsRate.percent >= goal.percent ? "goal met" : "below goal"};
            },
            datagraph::CreateGUID(), "compares the savings rate with the goal"),
        monthly);
    graph.LinkPins(savingsRate->Output("savings rate"), goalCheck->Input("savings rate"));
    graph.LinkPins(goal, goalCheck->Input("goal")); // Text into Rate: fails when moved
}

void Workbook::BuildYearly() {
    const auto leftOverPerYear = AddNode(TimesTwelve("left over per year"), yearly);
    graph.LinkPins(outputs["left over"], leftOverPerYear->Input("month"));
    const auto taxPerYear = AddNode(TimesTwelve("tax per year"), yearly);
    graph.LinkPins(outputs["income tax"], taxPerYear->Input("month"));
}

} // namespace budget
