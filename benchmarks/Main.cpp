// The benchmark suite: loads the graphs, checks that every system computes the reference values,
// measures them all in one process and prints the comparison table.
//
// Flags besides Google Benchmark's own:
//   --workloads=DIR        edge-list directory (else $KESDATAGRAPH_WORKLOADS, else the one next to
//                          the source tree); skipped with a message when missing
//   --graphs=a,b,...       only these graphs (names as in the table)
//   --layers=N             layers of the synthetic layered graph (100 nodes each; default 1000)
//   --chain=N              nodes of the synthetic chain (default 100000)
//   --budget=N             nodes plus edges each measurement handles per repetition (default
//                          1000000); sets the iteration counts
//   --changed-chains=N,... chains measured only for the fixed cost of TraverseChanged, the first
//                          being the one the others are held to (default 10000,100000,1000000;
//                          empty for none); named chain-10k and so on, which --graphs selects
//   --diagnostics-chains=N,...
//                          chains and rings (the chain with its last node feeding its first) on
//                          which the diagnostics are measured against graph size, the first
//                          being the one the others are held to (default 10000,100000,1000000;
//                          empty for none); named chain-10k, ring-10k and so on, which --graphs
//                          selects (either name selects both)
//   --no-checks            skip the checks and the memory figures (for profiling runs)

#include "Diagnostics.h"
#include "Results.h"
#include "Stopwatch.h"
#include "Systems.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <malloc.h>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

void Require(bool condition, const Workload& workload, const char* system,
             const std::string& what) {
    if (!condition) {
        throw std::runtime_error(workload.shape.name + ": " + system + ": " + what);
    }
}

namespace {

struct Options {
    std::string workloads;
    std::set<std::string> graphs;
    std::size_t layers = 1000;
    std::size_t chain = 100000;
    double budget = 1000000;
    std::vector<std::size_t> changedChains{10000, 100000, 1000000};
    std::vector<std::size_t> diagnosticsChains{10000, 100000, 1000000};
    bool checks = true;
};

std::string DefaultWorkloads() {
    if (const char* fromEnvironment = std::getenv("KESDATAGRAPH_WORKLOADS")) {
        return fromEnvironment;
    }
    return KESDATAGRAPH_DEFAULT_WORKLOADS;
}

bool TakeFlag(const std::string& argument, const std::string& name, std::string& value) {
    const std::string prefix = "--" + name + "=";
    if (argument.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    value = argument.substr(prefix.size());
    return true;
}

// Takes our flags out of argv and leaves the rest to Google Benchmark.
Options ParseOptions(int& argc, char** argv) {
    Options options;
    options.workloads = DefaultWorkloads();
    int kept = 1;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        std::string value;
        if (TakeFlag(argument, "workloads", value)) {
            options.workloads = value;
        } else if (TakeFlag(argument, "graphs", value)) {
            std::istringstream names(value);
            for (std::string name; std::getline(names, name, ',');) {
                options.graphs.insert(name);
            }
        } else if (TakeFlag(argument, "layers", value)) {
            options.layers = std::stoul(value);
        } else if (TakeFlag(argument, "chain", value)) {
            options.chain = std::stoul(value);
        } else if (TakeFlag(argument, "budget", value)) {
            options.budget = std::stod(value);
        } else if (TakeFlag(argument, "changed-chains", value)) {
            options.changedChains.clear();
            std::istringstream sizes(value);
            for (std::string size; std::getline(sizes, size, ',');) {
                options.changedChains.push_back(std::stoul(size));
            }
        } else if (TakeFlag(argument, "diagnostics-chains", value)) {
            options.diagnosticsChains.clear();
            std::istringstream sizes(value);
            for (std::string size; std::getline(sizes, size, ',');) {
                options.diagnosticsChains.push_back(std::stoul(size));
            }
        } else if (argument == "--no-checks") {
            options.checks = false;
        } else {
            argv[kept++] = argv[index];
        }
    }
    argc = kept;
    return options;
}

std::vector<Shape> LoadShapes(const Options& options) {
    std::vector<Shape> shapes;
    shapes.push_back(MakeLayered(options.layers, 100, 42));
    shapes.push_back(MakeChain(options.chain));
    namespace fs = std::filesystem;
    if (!fs::is_directory(options.workloads)) {
        std::cout << "No workloads directory at " << options.workloads
                  << "; measuring the synthetic graphs only (set --workloads=DIR or "
                     "KESDATAGRAPH_WORKLOADS).\n";
        return shapes;
    }
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(options.workloads)) {
        if (entry.path().extension() == ".dag") {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        shapes.push_back(LoadEdgeList(file));
    }
    return shapes;
}

// chain-10k, chain-1M: the size in thousands or millions when it is a whole number of them.
std::string ChainName(std::size_t nodes) {
    if (nodes >= 1000000 && nodes % 1000000 == 0) {
        return "chain-" + std::to_string(nodes / 1000000) + "M";
    }
    if (nodes >= 1000 && nodes % 1000 == 0) {
        return "chain-" + std::to_string(nodes / 1000) + "k";
    }
    return "chain-" + std::to_string(nodes);
}

using Workloads = std::vector<std::unique_ptr<Workload>>;

// The chain of that size made for the fixed-cost rows, or a new one.
const Workload& ChainWorkload(Workloads& workloads, std::size_t nodes) {
    const std::string name = ChainName(nodes);
    for (const auto& workload : workloads) {
        if (workload->shape.name == name) {
            return *workload;
        }
    }
    Shape shape = MakeChain(nodes);
    shape.name = name;
    workloads.push_back(std::make_unique<Workload>(MakeWorkload(std::move(shape))));
    return *workloads.back();
}

void RegisterDiagnosticsBySize(const Options& options, Workloads& workloads) {
    for (std::size_t nodes : options.diagnosticsChains) {
        const std::string chainName = ChainName(nodes);
        const std::string ringName = "ring" + chainName.substr(chainName.find('-'));
        if (!options.graphs.empty() && options.graphs.count(chainName) == 0 &&
            options.graphs.count(ringName) == 0) {
            continue;
        }
        const Workload& chain = ChainWorkload(workloads, nodes);
        Shape ringShape = MakeRing(nodes);
        ringShape.name = ringName;
        workloads.push_back(std::make_unique<Workload>(MakeWorkload(std::move(ringShape))));
        const Workload& ring = *workloads.back();
        if (options.checks) {
            std::cout << chainName << ", " << ringName << ": checking the diagnostics..."
                      << std::flush;
            CheckDiagnostics(chain, ring);
            std::cout << " the ring's cycle found whole, nothing in the chain\n";
        }
        RecordDiagnosticsSizes(chain.shape, ring.shape);
        RegisterDiagnosticsBySize(chain, ring);
    }
}

void Check(const Workload& workload) {
    const Shape& shape = workload.shape;
    std::cout << shape.name << ": " << shape.nodeCount << " nodes, " << shape.edges.size()
              << " edges: checking..." << std::flush;
    CheckLibrary(workload);
    CheckBaseline(workload);
    CheckTbbFlow(workload);
    CheckBoostGraph(workload);
    CheckTraverseChanged(workload);
    std::size_t unlinked = 0;
    for (std::size_t node = 0; node < shape.nodeCount; ++node) {
        unlinked += shape.upstream[node].empty() && shape.downstream[node].empty() ? 1 : 0;
    }
    std::cout << " ours, baseline and tbb computed the reference values, twice, and ours again"
                 " after writes; every order is topological";
    if (unlinked != 0) {
        std::cout << " (" << unlinked << " nodes have no link: the library leaves them alone)";
    }
    std::cout << "\n";
}

void Register(const Workload& workload) {
    RecordGraph(workload.shape);
    RegisterLibrary(workload);
    RegisterTraverseChanged(workload);
    RegisterFunctionNodes(workload);
    RegisterBaseline(workload);
    RegisterTbbFlow(workload);
    RegisterBoostGraph(workload);
}

// glibc returns freed memory to the system when the top of the heap grows past a threshold, and
// serves big blocks by mmap; both put system calls and page faults at random into timed
// regions. Keeping freed memory in the heap makes every system's figures steadier.
void KeepFreedMemory() {
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
}

int Main(int argc, char** argv) {
    KeepFreedMemory();
    const Options options = ParseOptions(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    SetElementBudget(options.budget);
    std::vector<std::unique_ptr<Workload>> workloads;
    for (Shape& shape : LoadShapes(options)) {
        if (options.graphs.empty() || options.graphs.count(shape.name) != 0) {
            workloads.push_back(std::make_unique<Workload>(MakeWorkload(std::move(shape))));
            if (options.checks) {
                Check(*workloads.back());
            }
            Register(*workloads.back());
        }
    }
    for (std::size_t nodes : options.changedChains) {
        const std::string name = ChainName(nodes);
        if (!options.graphs.empty() && options.graphs.count(name) == 0) {
            continue;
        }
        const Workload& chain = ChainWorkload(workloads, nodes);
        if (options.checks) {
            std::cout << name << ": " << nodes << " nodes: checking TraverseChanged..."
                      << std::flush;
            CheckTraverseChanged(chain);
            std::cout << " it computed the reference values\n";
        }
        RecordFixedCostGraph(chain.shape);
        RegisterTraverseChangedFixedCost(chain);
    }
    RegisterDiagnosticsBySize(options, workloads);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintTable(std::cout);
    return 0;
}

} // namespace

} // namespace bench

int main(int argc, char** argv) {
    try {
        return bench::Main(argc, argv);
    } catch (const std::exception& failure) {
        std::cerr << "kesdatagraph_benchmarks: " << failure.what() << "\n";
        return 1;
    }
}
