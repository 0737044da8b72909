#pragma once

#include "content/ConversionRuleInfo.h"

class ConversionContent;

// The data versions of one kind of data (presets or setups) as a graph: a node per
// (product, data version), an edge per conversion rule, weighted by the rule's cost.
// Built per search from the rules of the products involved, then searched with a
// PathFinder.
class ConversionGraph
{
public:
    struct Node
    {
        Node (juce::uint8 product, int dataVersion) : productId (product), version (dataVersion) {}

        bool is (juce::uint8 product, int dataVersion) const noexcept
        {
            return productId == product && version == dataVersion;
        }
        int indexOfEdgeTo (const Node* target) const noexcept  { return targets.indexOf (const_cast<Node*> (target)); }

        const juce::uint8 productId;
        const int version;
        // Outgoing edges in insertion order, as three parallel lists.
        juce::Array<Node*> targets;
        juce::StringArray scriptFiles;
        juce::Array<int> costs;
    };

    // Finds cheapest chains from one source and remembers the search, so that further
    // destinations from the same source need no new search.
    class PathFinder
    {
    public:
        explicit PathFinder (ConversionGraph& graph);

        // The nodes from source to target; empty when there is no chain.
        juce::Array<Node*> getPath (juce::uint8 sourceProduct, int sourceVersion,
                                    juce::uint8 targetProduct, int targetVersion);

    private:
        void reset();
        void run (juce::uint8 sourceProduct, int sourceVersion, juce::uint8 targetProduct, int targetVersion);
        void buildPath (juce::uint8 targetProduct, int targetVersion);
        void collectReachable (Node* source);

        juce::WeakReference<ConversionGraph> graph;
        juce::Array<Node*> reachable;
        juce::Array<Node*> path;
        juce::Array<juce::int64> dist;   // 64-bit: a sum of large costs must not wrap
        juce::Array<int> prev;
        int sourceProduct = -1, sourceVersion = -1, targetProduct = -1, targetVersion = -1;
        bool found = false;
    };

    ConversionGraph() = default;
    ~ConversionGraph();

    // Ignored for product 255, a negative version, or a node that exists.
    void addNode (juce::uint8 productId, int version);
    int indexOfNode (juce::uint8 productId, int version) const;
    Node* findNode (juce::uint8 productId, int version) const;
    Node* getNode (int index) const    { return nodes[index]; }
    int getNumNodes() const noexcept   { return nodes.size(); }

    // Ignored for an invalid node index, a negative target version or cost, a target node
    // that does not exist, or a node that already has an edge to that target (so the first
    // rule for a pair wins).
    void addEdge (int nodeIndex, juce::uint8 targetProduct, int targetVersion, const juce::String& scriptFile, int cost);

    void clear();

    // Builds the graph of one kind for a search from sourceProduct to targetProduct: the
    // source product's rules, and for another target product also the rules of every
    // product that the rules lead to.
    void build (juce::uint8 sourceProduct, juce::uint8 targetProduct, int kind, const ConversionContent& content);

    // The source product, then, breadth-first, every product its rules of that kind (and
    // theirs) lead to.
    static juce::Array<juce::uint8> collectConversionProducts (juce::uint8 sourceProduct, int kind,
                                                               const ConversionContent& content);

private:
    void addRules (const juce::Array<ConversionRuleInfo>& rules);

    juce::OwnedArray<Node> nodes;

    JUCE_DECLARE_WEAK_REFERENCEABLE (ConversionGraph)
    JUCE_DECLARE_NON_COPYABLE (ConversionGraph)
};
