#include "conversion/ConversionGraph.h"
#include "conversion/ConversionContent.h"
#include <limits>

namespace
{
    constexpr juce::int64 unreached = std::numeric_limits<juce::int64>::max();
}

ConversionGraph::~ConversionGraph()
{
    masterReference.clear();
}

void ConversionGraph::addNode (juce::uint8 productId, int version)
{
    if (productId == 255 || version < 0 || indexOfNode (productId, version) >= 0)
        return;
    nodes.add (new Node (productId, version));
}

int ConversionGraph::indexOfNode (juce::uint8 productId, int version) const
{
    for (int i = 0; i < nodes.size(); ++i)
        if (nodes.getUnchecked (i)->is (productId, version))
            return i;
    return -1;
}

ConversionGraph::Node* ConversionGraph::findNode (juce::uint8 productId, int version) const
{
    return nodes[indexOfNode (productId, version)];
}

void ConversionGraph::addEdge (int nodeIndex, juce::uint8 targetProduct, int targetVersion,
                               const juce::String& scriptFile, int cost)
{
    auto* node = nodes[nodeIndex];
    // A negative cost would let the search go round a loop for ever: such a rule is not used.
    if (node == nullptr || targetVersion < 0 || cost < 0)
        return;
    auto* target = findNode (targetProduct, targetVersion);
    if (target == nullptr || node->targets.contains (target))
        return;
    node->targets.add (target);
    node->scriptFiles.add (scriptFile);
    node->costs.add (cost);
}

void ConversionGraph::clear()
{
    nodes.clear();
}

juce::Array<juce::uint8> ConversionGraph::collectConversionProducts (juce::uint8 sourceProduct, int kind,
                                                                     const ConversionContent& content)
{
    juce::Array<juce::uint8> result;
    juce::Array<juce::uint8> queue { sourceProduct };

    while (! queue.isEmpty())
    {
        const auto product = queue.removeAndReturn (0);
        if (result.contains (product))
            continue;
        result.add (product);

        for (auto& rule : content.getConversionRules (product, kind))
        {
            const auto target = rule.targetProductId;
            if (target != rule.productId && ! result.contains (target) && ! queue.contains (target))
                queue.add (target);
        }
    }
    return result;
}

void ConversionGraph::build (juce::uint8 sourceProduct, juce::uint8 targetProduct, int kind,
                             const ConversionContent& content)
{
    clear();
    const auto products = sourceProduct == targetProduct ? juce::Array<juce::uint8> { sourceProduct }
                                                         : collectConversionProducts (sourceProduct, kind, content);
    for (auto product : products)
        addRules (content.getConversionRules (product, kind));
}

void ConversionGraph::addRules (const juce::Array<ConversionRuleInfo>& rules)
{
    // Every node the rules name, in the order the rules name them: the ones created here
    // and also the ones an earlier product's rules created, which need these rules' edges too.
    juce::Array<int> named;
    auto note = [this, &named] (juce::uint8 product, int version)
    {
        addNode (product, version);
        const int index = indexOfNode (product, version);
        if (index >= 0)
            named.addIfNotAlreadyThere (index);
    };

    for (auto& rule : rules)
    {
        note (rule.productId, rule.sourceVersion);
        note (rule.targetProductId, rule.targetVersion);
    }

    for (auto index : named)
    {
        auto* node = nodes.getUnchecked (index);
        for (auto& rule : rules)
            if (node->is (rule.productId, rule.sourceVersion))
                addEdge (index, rule.targetProductId, rule.targetVersion, rule.scriptFile, rule.cost);
    }
}

//==============================================================================
ConversionGraph::PathFinder::PathFinder (ConversionGraph& g) : graph (&g)
{
}

void ConversionGraph::PathFinder::reset()
{
    reachable.clearQuick();
    path.clearQuick();
    dist.clearQuick();
    prev.clearQuick();
    sourceProduct = sourceVersion = targetProduct = targetVersion = -1;
    found = false;
}

void ConversionGraph::PathFinder::collectReachable (Node* source)
{
    reachable.clearQuick();
    if (source == nullptr)
        return;
    reachable.add (source);
    for (int i = 0; i < reachable.size(); ++i)
        for (auto* target : reachable.getUnchecked (i)->targets)
            reachable.addIfNotAlreadyThere (target);
}

void ConversionGraph::PathFinder::run (juce::uint8 fromProduct, int fromVersion, juce::uint8 toProduct, int toVersion)
{
    reset();
    auto* g = graph.get();
    if (g == nullptr)
        return;
    collectReachable (g->findNode (fromProduct, fromVersion));
    if (reachable.isEmpty() || g->findNode (toProduct, toVersion) == nullptr)
        return;
    sourceProduct = fromProduct;
    sourceVersion = fromVersion;
    targetProduct = toProduct;
    targetVersion = toVersion;

    const int n = reachable.size();
    dist.insertMultiple (0, unreached, n);
    prev.insertMultiple (0, -1, n);
    dist.set (0, 0);

    juce::Array<int> open;
    for (int i = 0; i < n; ++i)
        open.add (i);

    int u = 0;
    while (! open.isEmpty() && u >= 0)
    {
        auto* node = reachable.getUnchecked (u);
        for (int e = 0; e < node->targets.size(); ++e)
        {
            const int v = reachable.indexOf (node->targets.getUnchecked (e));
            if (v < 0)
                continue;
            // Costs are never negative and at most 2^31 - 1, and a chain has fewer edges
            // than there are nodes: the sum cannot leave 64 bits.
            const auto alt = dist.getUnchecked (u) + (juce::int64) node->costs.getUnchecked (e);
            if (dist.getUnchecked (v) > alt)
            {
                dist.set (v, alt);
                prev.set (v, u);
            }
        }
        if (node->is (toProduct, toVersion))
            buildPath (toProduct, toVersion);
        open.removeFirstMatchingValue (u);

        // The next node: the nearest open one; among equally near ones the last in the list.
        auto bound = unreached - 1;
        u = -1;
        for (auto candidate : open)
        {
            if (dist.getUnchecked (candidate) <= bound)
            {
                bound = dist.getUnchecked (candidate);
                u = candidate;
            }
        }
    }
}

void ConversionGraph::PathFinder::buildPath (juce::uint8 toProduct, int toVersion)
{
    path.clearQuick();
    int index = -1;
    for (int i = 0; i < reachable.size(); ++i)
        if (reachable.getUnchecked (i)->is (toProduct, toVersion))
            index = i;

    // A chain visits every node at most once; a longer walk means the links are broken.
    for (int steps = 0; index >= 0 && steps <= reachable.size(); ++steps)
    {
        path.insert (0, reachable.getUnchecked (index));
        index = prev[index];
    }
    if (index >= 0)
        path.clearQuick();

    found = ! path.isEmpty() && path.getFirst()->is ((juce::uint8) sourceProduct, sourceVersion)
            && sourceProduct >= 0;
    if (found)
    {
        targetProduct = toProduct;
        targetVersion = toVersion;
    }
    else
    {
        path.clearQuick();
        targetProduct = targetVersion = -1;
    }
}

juce::Array<ConversionGraph::Node*> ConversionGraph::PathFinder::getPath (juce::uint8 fromProduct, int fromVersion,
                                                                          juce::uint8 toProduct, int toVersion)
{
    if ((int) fromProduct != sourceProduct || fromVersion != sourceVersion)
        run (fromProduct, fromVersion, toProduct, toVersion);
    if ((int) toProduct == targetProduct && toVersion == targetVersion && found)
        return path;
    buildPath (toProduct, toVersion);
    return path;
}
