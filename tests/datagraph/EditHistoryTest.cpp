#include <datagraph/EditHistory.h>
#include <datagraph/Graph.h>
#include <datagraph/IGraphEditObserver.h>

#include "GraphSnapshot.h"
#include "IntNodes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace datagraph::test {
namespace {

// source -> a -> b -> sink, each relay also feeding the sink's neighbour `side`.
class EditHistoryTest : public ::testing::Test {
protected:
    EditHistoryTest() {
        for (IntNode* node : {&source, &a, &b, &sink, &side}) {
            graph.CreateNode(node->function, GetNullGUID());
        }
        graph.LinkPins(source.out, a.in);
        graph.LinkPins(a.out, b.in);
        graph.LinkPins(a.out, side.in);
        graph.LinkPins(b.out, sink.in);
        graph.GetPinToPinEdges(); // the live link table, which undo must keep in order
    }

    // Undoes and redoes the history's last step twice, the graph matching `before` after each
    // undo and `after` after each redo.
    void ExpectUndoAndRedoTwice(EditHistory& history, const GraphSnapshot& before,
                                const GraphSnapshot& after) {
        for (int k = 0; k < 2; ++k) {
            history.Undo();
            EXPECT_EQ(GraphSnapshot(graph), before);
            history.Redo();
            EXPECT_EQ(GraphSnapshot(graph), after);
        }
    }

    const GUID mainSubgraph = CreateGUID();
    Graph graph{mainSubgraph};
    IntNode source = CountingSource();
    IntNode a = Increment();
    IntNode b = Increment();
    IntNode sink = Sink();
    IntNode side = Sink();
};

TEST_F(EditHistoryTest, UndoOfANodesDeletionBringsBackTheSameObjectsInTheirPlaces) {
    graph.PutDataOnPin(a.in, Int(7));
    const GraphSnapshot before(graph);
    const auto* edges = &graph.GetPinToPinEdges();
    const Pin* aIn = &graph.GetConstPin(a.in);

    EditHistory history(graph);
    graph.DestroyNode(a.Id());
    const GraphSnapshot after(graph);
    EXPECT_NE(after, before);
    EXPECT_EQ(history.UndoCount(), 1u);

    history.Undo();
    EXPECT_EQ(GraphSnapshot(graph), before);
    EXPECT_EQ(&graph.GetConstPin(a.in), aIn);
    EXPECT_EQ(&graph.GetPinToPinEdges(), edges);
    EXPECT_EQ(&graph.GetConstNode(a.Id()).GetNodeFunction(), a.function.get());

    history.Redo();
    EXPECT_EQ(GraphSnapshot(graph), after);
    history.Undo();
    EXPECT_EQ(GraphSnapshot(graph), before);

    graph.Traverse();
    EXPECT_EQ(IntOf(graph.GetDataFromPin(sink.in)), 3);
}

TEST_F(EditHistoryTest, ATransactionIsOneStepAndANewEditClearsTheRedoList) {
    const GraphSnapshot before(graph);
    IntNode extra = Increment();
    {
        EditHistory history(graph);
        {
            EditHistory::Transaction edit(history);
            graph.CreateNode(extra.function, GetNullGUID());
            graph.UnlinkPins(a.out, side.in);
            graph.LinkPins(extra.out, side.in);
            {
                EditHistory::Transaction inner(history);
                graph.LinkPins(b.out, extra.in);
                graph.DestroyOutputPin(source.Id(), source.out);
                graph.PutDataOnPin(a.in, Int(1));
                graph.SetDirty(b.Id(), true);
                graph.GetNodes().at(sink.Id())->SetDisabled(true);
                graph.AssignNodeToExecutionSubgraphs(extra.Id(), CreateGUID());
            }
            EXPECT_FALSE(history.CanUndo());
            EXPECT_THROW(history.Undo(), GraphException);
        }
        const GraphSnapshot after(graph);
        EXPECT_EQ(history.UndoCount(), 1u);
        history.Undo();
        EXPECT_EQ(GraphSnapshot(graph), before);
        history.Redo();
        EXPECT_EQ(GraphSnapshot(graph), after);
        history.Undo();
        EXPECT_TRUE(history.CanRedo());

        graph.SetDirty(a.Id(), true);
        EXPECT_FALSE(history.CanRedo());
        EXPECT_THROW(history.Redo(), GraphException);
        history.Undo();
        EXPECT_EQ(GraphSnapshot(graph), before);
        EXPECT_THROW(history.Undo(), GraphException);
    }
    EXPECT_EQ(GraphSnapshot(graph), before); // a history going away changes nothing
}

// Long enough for a step to span several of the blocks it keeps its edits in; each edit
// depends on the ones before it, so any other order of undoing or redoing them breaks.
TEST_F(EditHistoryTest, ALongTransactionIsUndoneLastFirstAndRedoneFirstToLast) {
    const GraphSnapshot before(graph);
    std::vector<IntNode> chain;
    chain.reserve(400);
    EditHistory history(graph);
    {
        EditHistory::Transaction build(history);
        GUID upstream = b.out;
        for (int k = 0; k < 400; ++k) {
            chain.push_back(Increment());
            graph.CreateNode(chain.back().function, GetNullGUID());
            graph.LinkPins(upstream, chain.back().in);
            graph.PutDataOnPin(chain.back().in, Int(k));
            upstream = chain.back().out;
        }
    }
    const GraphSnapshot built(graph);
    const Node* middle = graph.GetNodes().at(chain[200].Id()).get();
    {
        EditHistory::Transaction remove(history);
        for (const IntNode& node : chain) {
            graph.DestroyNode(node.Id());
        }
    }
    EXPECT_EQ(GraphSnapshot(graph), before);
    ASSERT_EQ(history.UndoCount(), 2u);

    history.Undo();
    EXPECT_EQ(GraphSnapshot(graph), built);
    EXPECT_EQ(graph.GetNodes().at(chain[200].Id()).get(), middle);
    history.Undo();
    EXPECT_EQ(GraphSnapshot(graph), before);
    history.Redo();
    EXPECT_EQ(GraphSnapshot(graph), built);
    history.Redo();
    EXPECT_EQ(GraphSnapshot(graph), before);
    history.Undo();
    graph.Traverse();
    EXPECT_EQ(IntOf(graph.GetDataFromPin(chain.back().out)), 3 + 400);
}

TEST_F(EditHistoryTest, RefusedAndEmptyRequestsRecordNothing) {
    EditHistory history(graph);
    EXPECT_THROW(graph.LinkPins(a.out, sink.in), GraphException); // sink.in has its link
    EXPECT_THROW(graph.CreateNode(a.function, GetNullGUID()), GraphException);
    EXPECT_THROW(graph.PutDataOnPin(a.in, Text("no")), GraphException);
    graph.LinkPins(b.out, sink.in);  // linked already
    graph.DestroyNode(CreateGUID()); // names nothing
    graph.SetDirty(a.Id(), false);   // as it was
    graph.GetTraversablePin(a.in).SetUpdatedData(false);
    { EditHistory::Transaction nothing(history); }
    EXPECT_FALSE(history.CanUndo());

    const auto value = Int(3);
    graph.PutDataOnPin(a.in, value);
    graph.PutDataOnPin(a.in, value); // the same object, marked already
    EXPECT_EQ(history.UndoCount(), 1u);
}

TEST_F(EditHistoryTest, UndoRestoresOnlyWhatItsStepWroteAfterATraversal) {
    graph.Traverse();
    EditHistory history(graph);
    const auto written = Int(100);
    graph.PutDataOnPin(a.in, written);
    graph.UnlinkInputPin(a.in); // keeps the written value through the traversal
    graph.Traverse();
    EXPECT_EQ(history.UndoCount(), 2u); // the traversal made no step
    const auto sinkValue = graph.GetDataFromPin(sink.in);
    EXPECT_EQ(IntOf(sinkValue), 102);

    history.Undo(); // the link again
    history.Undo(); // a.in gets its value from before the write; the sink keeps its value
    EXPECT_EQ(IntOf(graph.GetDataFromPin(a.in)), 1);
    EXPECT_EQ(graph.GetDataFromPin(sink.in), sinkValue);
    history.Redo();
    EXPECT_EQ(graph.GetDataFromPin(a.in), written);
}

TEST_F(EditHistoryTest, ClearAndAssignmentAreStepsAndRedoDoesNotCloneAgain) {
    const GraphSnapshot before(graph);
    EditHistory history(graph);
    graph.Clear();
    EXPECT_TRUE(graph.GetNodes().empty());
    history.Undo();
    EXPECT_EQ(GraphSnapshot(graph), before);

    Graph other(CreateGUID());
    IntNode lone = CountingSource();
    other.CreateNode(lone.function, GetNullGUID());
    graph = other;
    const GraphSnapshot assigned(graph);
    history.Undo();
    EXPECT_EQ(GraphSnapshot(graph), before);
    history.Redo();
    EXPECT_EQ(GraphSnapshot(graph), assigned); // the same objects, not clones of clones
    history.Undo();
    history.Redo();
    history.Undo();
    EXPECT_EQ(GraphSnapshot(graph), before);
    graph.Traverse();
}

// The link table moves from store to store with each assignment: the edits after the first
// assignment of a step are undone and redone on a store that gets the table only then.
TEST_F(EditHistoryTest, AStepOfTwoAssignmentsWithLinkEditsBetweenKeepsTheLinkTableWhole) {
    Graph first(CreateGUID());
    IntNode x = CountingSource();
    IntNode y = Sink();
    first.CreateNode(x.function, GetNullGUID());
    first.CreateNode(y.function, GetNullGUID());
    first.LinkPins(x.out, y.in);
    Graph second(CreateGUID());
    IntNode z = CountingSource();
    IntNode w = Sink();
    second.CreateNode(z.function, GetNullGUID());
    second.CreateNode(w.function, GetNullGUID());
    second.LinkPins(z.out, w.in);

    const GraphSnapshot before(graph);
    EditHistory history(graph);
    {
        EditHistory::Transaction edit(history);
        graph.UnlinkPins(a.out, side.in);
        graph = first;
        graph.UnlinkPins(x.out, y.in);
        graph.LinkPins(x.out, y.in);
        graph = second;
    }
    ExpectUndoAndRedoTwice(history, before, GraphSnapshot(graph));
    history.Undo();
    graph.DestroyNode(a.Id()); // its links come out of the table
    EXPECT_EQ(graph.GetPinToPinEdges().size(), 1u);
}

// Each edit of a step is undone or redone on the graph as the step's other edits left it: here
// a node is made, given a pin and links, destroyed and made again within one step.
TEST_F(EditHistoryTest, EditsOfOneStepOnTheSameNodeAreUndoneAndRedoneInTurn) {
    const GraphSnapshot before(graph);
    EditHistory history(graph);
    IntNode extra = Increment();
    const GUID pin = CreateGUID();
    {
        EditHistory::Transaction edit(history);
        graph.CreateNode(extra.function, GetNullGUID());
        graph.CreateOutputPin(extra.Id(), pin, typeid(IntValue));
        graph.UnlinkInputPin(side.in);
        graph.LinkPins(pin, side.in);
        graph.LinkPins(b.out, extra.in);
        graph.AssignNodeToExecutionSubgraphs(extra.Id(), CreateGUID());
        graph.DestroyNode(extra.Id());
        graph.CreateNode(extra.function, GetNullGUID());
        graph.DestroyInputPin(extra.Id(), extra.in);
    }
    ExpectUndoAndRedoTwice(history, before, GraphSnapshot(graph));
    history.Undo();
    EXPECT_FALSE(graph.HasPin(pin));
    graph.Traverse();
    EXPECT_EQ(IntOf(graph.GetDataFromPin(side.in)), 2);
}

TEST_F(EditHistoryTest, SubgraphEntriesOfAbsentNodesComeBackAndGoWithTheirNode) {
    const GUID later = CreateGUID();
    const GUID subgraph = CreateGUID();
    const GraphSnapshot before(graph);
    EditHistory history(graph);
    IntNode adopted = Sink();
    graph.AssignNodeToExecutionSubgraphs(adopted.Id(), subgraph);
    graph.AssignNodeToExecutionSubgraphs(later, subgraph);
    graph.CreateNode(adopted.function, GetNullGUID()); // takes its entry over
    graph.DestroyNode(later);                          // only entries
    const GraphSnapshot after(graph);
    for (int k = 0; k < 4; ++k) {
        history.Undo();
    }
    EXPECT_EQ(GraphSnapshot(graph), before);
    for (int k = 0; k < 4; ++k) {
        history.Redo();
    }
    EXPECT_EQ(GraphSnapshot(graph), after);
    history.Undo();
    history.Undo();
    EXPECT_EQ(Sorted(graph.GetNodesInExecutionSubgraph(subgraph)).size(), 2u);
}

TEST_F(EditHistoryTest, TheLimitDropsTheOldestSteps) {
    EditHistory history(graph);
    for (int k = 0; k < 5; ++k) {
        graph.PutDataOnPin(a.in, Int(k));
    }
    history.SetLimit(2);
    EXPECT_EQ(history.UndoCount(), 2u);
    graph.DestroyNode(b.Id());
    EXPECT_EQ(history.UndoCount(), 2u);
    history.Undo();
    history.Undo();
    EXPECT_EQ(IntOf(graph.GetDataFromPin(a.in)), 3);
    EXPECT_FALSE(history.CanUndo());
}

// Notices as text, with the node and pin ids of the fixture by name.
class Transcript : public IGraphEditObserver {
public:
    std::vector<std::string> lines;

    void NodeCreated(const GUID&) override { lines.push_back("NodeCreated"); }

    void NodeDestroyed(const GUID&) override { lines.push_back("NodeDestroyed"); }

    void LinkMade(const GUID&, const GUID&) override { lines.push_back("LinkMade"); }

    void LinkRemoved(const GUID&, const GUID&) override { lines.push_back("LinkRemoved"); }

    void PinDataWritten(const GUID&) override { lines.push_back("PinDataWritten"); }

    void NodeRemovedFromExecutionSubgraph(const GUID&, const GUID&) override {
        lines.push_back("NodeRemovedFromExecutionSubgraph");
    }
};

TEST_F(EditHistoryTest, TheObserverHearsAnUndoAsTheChangesItMakes) {
    Transcript transcript;
    EditHistory history(graph);
    graph.SetEditObserver(&transcript);
    graph.DestroyNode(a.Id());
    const auto destroyed = transcript.lines;
    EXPECT_EQ(destroyed, (std::vector<std::string>{"LinkRemoved", "LinkRemoved", "LinkRemoved",
                                                   "NodeDestroyed"}));
    transcript.lines.clear();
    history.Undo();
    EXPECT_EQ(transcript.lines,
              (std::vector<std::string>{"NodeCreated", "LinkMade", "LinkMade", "LinkMade"}));
    transcript.lines.clear();
    history.Redo();
    EXPECT_EQ(transcript.lines, destroyed);

    transcript.lines.clear();
    graph.AssignNodeToExecutionSubgraphs(b.Id(), CreateGUID());
    transcript.lines.clear();
    history.Undo();
    EXPECT_EQ(transcript.lines, (std::vector<std::string>{"NodeRemovedFromExecutionSubgraph"}));
    graph.SetEditObserver(nullptr);
}

class ThrowingObserver : public IGraphEditObserver {
public:
    void NodeCreated(const GUID&) override { throw std::runtime_error("observer"); }
};

TEST_F(EditHistoryTest, AnObserverThatThrowsLeavesTheUndoDone) {
    const GraphSnapshot before(graph);
    EditHistory history(graph);
    graph.DestroyNode(a.Id());
    ThrowingObserver observer;
    graph.SetEditObserver(&observer);
    EXPECT_THROW(history.Undo(), std::runtime_error);
    graph.SetEditObserver(nullptr);
    EXPECT_EQ(GraphSnapshot(graph), before);
    EXPECT_TRUE(history.CanRedo());
    EXPECT_FALSE(history.CanUndo());
}

TEST_F(EditHistoryTest, StepsHoldingPinsOfANodesBlockOutliveNeitherGraphNorHistory) {
    {
        EditHistory history(graph);
        EXPECT_THROW(EditHistory second(graph), GraphException);
        graph.DestroyInputPin(b.Id(), b.in); // a pin made with its node
        graph.DestroyNode(b.Id());
    } // the pin dies before the node's block
    auto doomed = std::make_unique<Graph>(graph);
    EditHistory history(*doomed);
    doomed->DestroyInputPin(a.Id(), a.in);
    doomed.reset();
    EXPECT_FALSE(history.IsAttached());
    EXPECT_THROW(history.Undo(), GraphException);
}

TEST_F(EditHistoryTest, StructuralEditsDuringATraversalMakeTheHistoryForget) {
    EditHistory history(graph);
    graph.PutDataOnPin(a.in, Int(5));
    graph.UnlinkPins(a.out, side.in);
    source.function->SetBody([this](const DataMap&) { // an unconnected node would not run
        graph.DestroyNode(side.Id());
        return DataMap{{source.out, Int(1)}};
    });
    EXPECT_EQ(history.UndoCount(), 2u);
    graph.Traverse();
    EXPECT_FALSE(graph.HasNode(side.Id()));
    EXPECT_EQ(history.UndoCount(), 0u);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
}

} // namespace
} // namespace datagraph::test
