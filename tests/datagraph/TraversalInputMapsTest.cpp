// A traversal hands each node function its inputs in a map it keeps from one node to the next.
// Whatever a function does with that map, every function must see the map a node of its own
// would get: the same entries, buckets and iteration order, and values that go when it returns.

#include <datagraph/Graph.h>
#include <datagraph/Node.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace datagraph::test {
namespace {

// A node function that keeps nothing of its inputs beyond what its body does with them.
class BodyFunction : public INodeFunction {
public:
    using Body = std::function<DataMap(const DataMap&)>;

    BodyFunction(std::vector<GUID> inputs, std::vector<GUID> outputs, Body body)
        : inputs(std::move(inputs))
        , outputs(std::move(outputs))
        , body(std::move(body)) {}

    std::shared_ptr<INodeFunction> Clone() const override {
        return std::make_shared<BodyFunction>(*this);
    }

    DataMap Execute(const DataMap& values) override { return body(values); }

    std::string GetName() const override { return "body"; }

    std::string GetDescription() const override { return {}; }

    GUID GetId() const override { return id; }

    std::string GetInputOrOutputName(const GUID&) const override { return {}; }

    std::string GetInputOrOutputDescription(const GUID&) const override { return {}; }

    Schema GetInputSchema() const override { return SchemaOf(inputs); }

    Schema GetOutputSchema() const override { return SchemaOf(outputs); }

    std::string GetClassIdentifier() const override { return "test.body"; }

private:
    static Schema SchemaOf(const std::vector<GUID>& pins) {
        Schema schema;
        for (const GUID& pin : pins) {
            schema.emplace(pin, typeid(IntValue));
        }
        return schema;
    }

    GUID id = CreateGUID();
    std::vector<GUID> inputs;
    std::vector<GUID> outputs;
    Body body;
};

std::vector<GUID> NewIds(std::size_t count) {
    std::vector<GUID> ids;
    for (std::size_t k = 0; k < count; ++k) {
        ids.push_back(CreateGUID());
    }
    return ids;
}

// What a function can see of its map.
struct MapView {
    std::vector<GUID> keys; // in iteration order
    std::vector<const IDataValue*> values;
    std::size_t buckets = 0;

    static MapView Of(const DataMap& map) {
        MapView view;
        for (const auto& [key, value] : map) {
            view.keys.push_back(key);
            view.values.push_back(value.get());
        }
        view.buckets = map.bucket_count();
        return view;
    }

    bool operator==(const MapView& other) const {
        return keys == other.keys && values == other.values && buckets == other.buckets;
    }
};

class TraversalInputMapsTest : public ::testing::Test {
protected:
    struct Made {
        GUID id;
        std::vector<GUID> in;
        GUID out;
    };

    Made Add(std::size_t inputCount, BodyFunction::Body body) {
        Made made{GUID(), NewIds(inputCount), CreateGUID()};
        auto function =
            std::make_shared<BodyFunction>(made.in, std::vector<GUID>{made.out}, std::move(body));
        made.id = function->GetId();
        graph.CreateNode(function, GetNullGUID());
        return made;
    }

    // A source whose output changes on every run.
    Made AddSource() {
        auto count = std::make_shared<int>(0);
        auto out = std::make_shared<GUID>();
        const Made source = Add(0, [count, out](const DataMap&) {
            return DataMap{{*out, Int(++*count)}};
        });
        *out = source.out;
        return source;
    }

    Graph graph{CreateGUID()};
};

// Nodes of many pin counts, run one after the other, some pins unlinked and some of those empty:
// each function sees exactly the map that Node::Execute, which makes one of its own, gives it.
TEST_F(TraversalInputMapsTest, EveryFunctionSeesTheMapANodeOfItsOwnWouldGet) {
    const Made source = AddSource();
    std::map<std::size_t, MapView> seen;
    std::vector<Made> nodes;
    for (std::size_t pins : {1, 2, 3, 5, 2, 8, 13, 1, 20, 40, 3, 97, 5}) {
        const std::size_t index = nodes.size();
        nodes.push_back(Add(pins, [&seen, index](const DataMap& in) {
            seen[index] = MapView::Of(in);
            return DataMap();
        }));
        const Made& node = nodes.back();
        for (std::size_t k = 0; k < pins; ++k) {
            if (k % 4 != 3) {
                graph.LinkPins(source.out, node.in[k]);
            } else if (k % 8 == 3) {
                graph.PutDataOnPin(node.in[k], Int(static_cast<int>(k))); // unlinked, held
            }                                                             // else unlinked and empty
        }
    }

    for (int run = 0; run < 3; ++run) {
        seen.clear();
        if (run == 1) {
            for (const Made& node : nodes) {
                graph.MarkChanged(node.id);
            }
            graph.TraverseChanged();
        } else {
            graph.Traverse();
        }
        ASSERT_EQ(seen.size(), nodes.size());
        const std::map<std::size_t, MapView> inTraversal = seen;
        seen.clear();
        for (const Made& node : nodes) {
            graph.GetTraversableNode(node.id).Execute();
        }
        EXPECT_EQ(inTraversal, seen) << "run " << run;
    }
}

// A function may change its map behind the const: move from it, rehash it, add to it or empty
// it. Every function after it still gets exactly its own inputs, in a map of the usual shape.
TEST_F(TraversalInputMapsTest, AFunctionChangingItsMapLeavesTheOthersTheirOwn) {
    const Made source = AddSource();
    auto variant = std::make_shared<int>(0);
    std::vector<DataMap> stolen;
    const Made tamper = Add(3, [&stolen, variant](const DataMap& in) {
        auto& map = const_cast<DataMap&>(in);
        switch (*variant % 6) {
        case 0:
            stolen.push_back(std::move(map));
            break;
        case 1:
            map.rehash(211);
            break;
        case 2:
            map.emplace(CreateGUID(), Int(-1));
            map.emplace(CreateGUID(), Int(-2));
            break;
        case 3:
            map.max_load_factor(0.25f);
            break;
        case 4:
            map.clear();
            break;
        default:
            map.reserve(1000);
            map.erase(map.begin());
            break;
        }
        return DataMap();
    });
    std::map<std::string, MapView> seen;
    std::map<std::string, DataMap> contents;
    auto watch = [&seen, &contents](std::string name) {
        return [&seen, &contents, name](const DataMap& in) {
            seen[name] = MapView::Of(in);
            contents[name] = in;
            return DataMap();
        };
    };
    const Made three = Add(3, watch("three"));
    const Made one = Add(1, watch("one"));
    for (const GUID& pin : tamper.in) {
        graph.LinkPins(source.out, pin);
    }
    // Linked to the tampering node's output, which holds a marked value, so that both run after
    // it, with maps of the pin counts it has and has not.
    graph.LinkPins(tamper.out, three.in[0]);
    graph.LinkPins(source.out, three.in[1]);
    graph.LinkPins(source.out, three.in[2]);
    graph.LinkPins(tamper.out, one.in[0]);
    graph.PutDataOnPin(tamper.out, Int(0));

    for (*variant = 0; *variant < 6; ++*variant) {
        seen.clear();
        contents.clear();
        graph.Traverse();
        ASSERT_EQ(seen.size(), 2u) << "variant " << *variant;
        const std::map<std::string, MapView> inTraversal = seen;
        EXPECT_EQ(contents["three"].size(), 3u);
        EXPECT_EQ(contents["three"].at(three.in[1]), graph.GetDataFromPin(source.out));
        EXPECT_EQ(contents["one"].size(), 1u);
        seen.clear();
        graph.GetTraversableNode(three.id).Execute();
        graph.GetTraversableNode(one.id).Execute();
        EXPECT_EQ(inTraversal, seen) << "variant " << *variant;
    }
}

// While a function holds its map, it runs traversals of other graphs whose nodes take as many
// inputs: its own map is as it was when they are over.
TEST_F(TraversalInputMapsTest, NestedTraversalsLeaveTheOuterFunctionsMapAlone) {
    Graph inner{CreateGUID()};
    const GUID innerSourceOut = CreateGUID();
    auto innerCount = std::make_shared<int>(100);
    inner.CreateNode(
        std::make_shared<BodyFunction>(std::vector<GUID>{}, std::vector<GUID>{innerSourceOut},
                                       [innerCount, innerSourceOut](const DataMap&) {
                                           return DataMap{{innerSourceOut, Int(++*innerCount)}};
                                       }),
        GetNullGUID());
    std::vector<GUID> innerSums;
    for (int node = 0; node < 3; ++node) {
        const std::vector<GUID> pins = NewIds(2);
        const GUID out = CreateGUID();
        inner.CreateNode(std::make_shared<BodyFunction>(pins, std::vector<GUID>{out},
                                                        [out](const DataMap& in) {
                                                            int sum = 0;
                                                            for (const auto& entry : in) {
                                                                sum += IntOf(entry.second);
                                                            }
                                                            return DataMap{{out, Int(sum)}};
                                                        }),
                         GetNullGUID());
        inner.LinkPins(innerSourceOut, pins[0]);
        inner.LinkPins(innerSourceOut, pins[1]);
        innerSums.push_back(out);
    }

    const Made source = AddSource();
    int checked = 0;
    Made outer{};
    outer = Add(2, [&](const DataMap& in) {
        const MapView before = MapView::Of(in);
        const DataMap copy = in;
        inner.Traverse();
        inner.TraverseChanged();
        EXPECT_EQ(MapView::Of(in), before);
        EXPECT_EQ(in, copy);
        ++checked;
        return DataMap{{outer.out, Int(IntOf(in.at(outer.in[0])) + IntOf(in.at(outer.in[1])))}};
    });
    graph.LinkPins(source.out, outer.in[0]);
    graph.LinkPins(source.out, outer.in[1]);

    graph.Traverse();
    graph.MarkChanged(outer.id);
    graph.TraverseChanged();

    EXPECT_EQ(checked, 2);
    EXPECT_EQ(IntOf(graph.GetDataFromPin(outer.out)), 2 * IntOf(graph.GetDataFromPin(source.out)));
    for (const GUID& sum : innerSums) {
        EXPECT_EQ(IntOf(inner.GetDataFromPin(sum)),
                  2 * IntOf(inner.GetDataFromPin(innerSourceOut)));
    }
}

// An int whose GetType() runs a probe: the library asks it first when it writes the output.
class ProbedInt : public IntValue {
public:
    ProbedInt(int value, std::function<void()> probe)
        : IntValue(value)
        , probe(std::move(probe)) {}

    const std::type_info& GetType() const override {
        probe();
        return typeid(IntValue);
    }

private:
    std::function<void()> probe;
};

// A value whose last holder is a function's map goes as soon as the function returns, before
// the library writes the function's outputs, as it would with a map of the function's own.
TEST_F(TraversalInputMapsTest, AValueOnlyTheMapHoldsGoesWhenTheFunctionReturns) {
    const Made source = AddSource();
    std::weak_ptr<const IDataValue> dropped;
    std::vector<bool> expiredAtWrite;
    Made first{};
    first = Add(1, [&](const DataMap& in) {
        dropped = in.at(first.in[0]);
        // Neither the source's pin nor this one holds the value any more: only the map does.
        graph.PutDataOnPin(source.out, Int(-1));
        graph.PutDataOnPin(first.in[0], Int(-1));
        EXPECT_FALSE(dropped.expired());
        auto probe = [&] { expiredAtWrite.push_back(dropped.expired()); };
        return DataMap{{first.out, std::make_shared<const ProbedInt>(0, probe)}};
    });
    graph.LinkPins(source.out, first.in[0]);

    for (int run = 0; run < 2; ++run) {
        expiredAtWrite.clear();
        graph.Traverse();
        ASSERT_FALSE(expiredAtWrite.empty());
        EXPECT_TRUE(expiredAtWrite.front()) << "run " << run;
    }
}

} // namespace
} // namespace datagraph::test
