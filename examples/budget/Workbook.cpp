#include "Workbook.h"

#include <datagraph/FunctionNode.h>
#include <datagraph/UbernodeNodeFunction.h>

#include <cmath>

namespace budget {

namespace {

using datagraph::Graph;
using datagraph::UbernodeNodeFunction;

const std::type_info* const kMoney = &typeid(Money);
const std::type_info* const kRate = &typeid(Rate);

std::shared_ptr<Formula> Sum(const std::string& name, const std::vector<std::string>& terms) {
    std::vector<std::pair<std::string, const std::type_info*>> pins;
    for (const std::string& term : terms) {
        pins.emplace_back(term, kMoney);
    }
    return std::make_shared<Formula>(name, "the sum of its inputs", pins, typeid(Money),
                                     [terms](const Formula::Inputs& in) {
                                         long long total = 0;
                                         for (const std::string& term : terms) {
                                             total += in.Get<Money>(term);
                                         }
                                         return Cents(total);
                                     });
}

std::shared_ptr<Formula> TimesTwelve(const std::string& name) {
    return std::make_shared<Formula>(
        name, "a monthly amount over a year",
        std::vector{std::make_pair(std::string("month"), kMoney)}, typeid(Money),
        [](const Formula::Inputs& in) { return Cents(12 * in.Get<Money>("month")); });
}

// The reusable block: gross amount and tax rate in, net amount and tax out. Its inner graph
// has nodes of its own; the outer graph sees one node whose pins are inner pins.
std::shared_ptr<UbernodeNodeFunction> IncomeTaxBlock() {
    auto inner = std::make_shared<Graph>(datagraph::CreateGUID());
    auto gross = std::make_shared<Formula>(
        "gross", "hands the gross amount to both formulas",
        std::vector{std::make_pair(std::string("gross"), kMoney)}, typeid(Money),
        [](const Formula::Inputs& in) { return Cents(in.Get<Money>("gross")); });
    auto tax = std::make_shared<Formula>(
        "tax", "the tax on the gross amount",
        std::vector{std::make_pair(std::string("amount"), kMoney),
                    std::make_pair(std::string("rate"), kRate)},
        typeid(Money), [](const Formula::Inputs& in) {
            return Cents(std::llround(in.Get<Money>("amount") * in.Get<Rate>("rate") / 100));
        });
    auto net =
        std::make_shared<Formula>("net", "the gross amount less the tax",
                                  std::vector{std::make_pair(std::string("amount"), kMoney),
                                              std::make_pair(std::string("tax"), kMoney)},
                                  typeid(Money), [](const Formula::Inputs& in) {
                                      return Cents(in.Get<Money>("amount") - in.Get<Money>("tax"));
                                  });
    for (const auto& function : {gross, tax, net}) {
        inner->CreateNode(function, datagraph::GetNullGUID());
    }
    inner->LinkPins(gross->Out(), tax->In("amount"));
    inner->LinkPins(gross->Out(), net->In("amount"));
    inner->LinkPins(tax->Out(), net->In("tax"));
    return std::make_shared<UbernodeNodeFunction>(
        inner, Schema{{gross->In("gross"), typeid(Money)}, {tax->In("rate"), typeid(Rate)}},
        Schema{{net->Out(), typeid(Money)}, {tax->Out(), typeid(Money)}}, "income tax",
        "net income and tax from gross income and a tax rate", datagraph::CreateGUID());
}

} // namespace

Workbook::Workbook() {
    BuildMonthly();
    BuildYearly();
}

std::map<GUID, std::string> Workbook::SubgraphNames() const {
    return {{monthly, "monthly budget"}, {yearly, "yearly outlook"}};
}

std::shared_ptr<Cell> Workbook::AddCell(const std::string& name,
                                        std::shared_ptr<const datagraph::IDataValue> value) {
    auto cell = std::make_shared<Cell>(name, std::move(value));
    graph.CreateNode(cell, monthly);
    cells[name] = cell;
    readingOrder.push_back(cell->GetId());
    return cell;
}

void Workbook::BuildMonthly() {
    const auto salary = AddCell("salary", Cents(420000));
    const auto sideJob = AddCell("side job", Cents(65000));
    const auto taxRate = AddCell("tax rate", std::make_shared<const Rate>(22.0));
    const auto rent = AddCell("rent", Cents(145000));
    const auto groceries = AddCell("groceries", Cents(62000));
    const auto transport = AddCell("transport", Cents(23000));
    // Typed as text by mistake, and linked to a rate input all the same.
    const auto goal = AddCell("savings goal", std::make_shared<const Text>("15%"));
    AddCell("notes", std::make_shared<const Text>("car insurance is due in March"));

    const auto gross = AddFormula(Sum("gross income", {"salary", "side job"}), monthly);
    graph.LinkPins(salary->Out(), gross->In("salary"));
    graph.LinkPins(sideJob->Out(), gross->In("side job"));

    const auto tax = IncomeTaxBlock();
    graph.CreateNode(tax, monthly);
    readingOrder.push_back(tax->GetId());
    const Graph& inner = *tax->GetGraph();
    for (const auto& [pinId, type] : tax->GetInputSchema()) {
        graph.LinkPins(type == typeid(Money) ? gross->Out() : taxRate->Out(), pinId);
    }
    for (const auto& [pinId, type] : tax->GetOutputSchema()) {
        const std::string name =
            inner.GetConstNode(inner.GetOwningNode(pinId)).GetNodeFunction().GetName();
        outputs[name == "net" ? "net income" : "income tax"] = pinId;
    }

    const auto expenses = AddFormula(Sum("expenses", {"rent", "groceries", "transport"}), monthly);
    graph.LinkPins(rent->Out(), expenses->In("rent"));
    graph.LinkPins(groceries->Out(), expenses->In("groceries"));
    graph.LinkPins(transport->Out(), expenses->In("transport"));

    const auto leftOver =
        AddFormula(std::make_shared<Formula>(
                       "left over", "net income less expenses",
                       std::vector{std::make_pair(std::string("net income"), kMoney),
                                   std::make_pair(std::string("expenses"), kMoney)},
                       typeid(Money),
                       [](const Formula::Inputs& in) {
                           return Cents(in.Get<Money>("net income") - in.Get<Money>("expenses"));
                       }),
                   monthly);
    graph.LinkPins(outputs["net income"], leftOver->In("net income"));
    graph.LinkPins(expenses->Out(), leftOver->In("expenses"));
    outputs["left over"] = leftOver->Out();

    const auto savingsRate =
        AddFormula(std::make_shared<Formula>(
                       "savings rate", "the share of net income left over",
                       std::vector{std::make_pair(std::string("left over"), kMoney),
                                   std::make_pair(std::string("net income"), kMoney)},
                       typeid(Rate),
                       [](const Formula::Inputs& in) {
                           return std::make_shared<const Rate>(100.0 * in.Get<Money>("left over") /
                                                               in.Get<Money>("net income"));
                       }),
                   monthly);
    graph.LinkPins(leftOver->Out(), savingsRate->In("left over"));
    graph.LinkPins(outputs["net income"], savingsRate->In("net income"));

    // A node made from a lambda: its parameters and result are the pins, typed by the budget's
    // own value classes.
    const auto summary = AddFormula(
        datagraph::MakeFunctionNode("summary", {"left over", "savings rate"}, {"text"},
                                    [](const Money& leftOver, const Rate& savingsRate) {
                                        return std::make_shared<const Text>(
                                            FormatMoney(leftOver.Get()) + " left over, " +
                                            FormatRate(savingsRate.Get()) + " of net income");
                                    }),
        monthly);
    graph.LinkPins(leftOver->Out(), summary->Input("left over"));
    graph.LinkPins(savingsRate->Out(), summary->Input("savings rate"));

    const auto goalCheck =
        AddFormula(std::make_shared<Formula>(
                       "goal check", "compares the savings rate with the goal",
                       std::vector{std::make_pair(std::string("savings rate"), kRate),
                                   std::make_pair(std::string("goal"), kRate)},
                       typeid(Text),
                       [](const Formula::Inputs& in) {
                           const bool met = in.Get<Rate>("savings rate") >= in.Get<Rate>("goal");
                           return std::make_shared<const Text>(met ? "goal met" : "below goal");
                       }),
                   monthly);
    graph.LinkPins(savingsRate->Out(), goalCheck->In("savings rate"));
    graph.LinkPins(goal->Out(), goalCheck->In("goal")); // Text into Rate: fails when moved
}

void Workbook::BuildYearly() {
    const auto leftOverPerYear = AddFormula(TimesTwelve("left over per year"), yearly);
    graph.LinkPins(outputs["left over"], leftOverPerYear->In("month"));
    const auto taxPerYear = AddFormula(TimesTwelve("tax per year"), yearly);
    graph.LinkPins(outputs["income tax"], taxPerYear->In("month"));
}

} // namespace budget
