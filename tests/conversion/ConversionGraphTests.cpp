#include <gtest/gtest.h>
#include "conversion/ConversionGraph.h"
#include "conversion/DataConversionManager.h"
#include "support/ConversionFixtures.h"

#include <limits>

using namespace testing_support;

namespace
{
    constexpr int presetKind = ConversionRuleInfo::preset, setupKind = ConversionRuleInfo::setup;

    // The chain as "product.version>product.version" steps with their scripts' file names.
    juce::String describe (const juce::Array<ConversionRuleInfo>& chain)
    {
        juce::StringArray parts;
        for (auto& r : chain)
            parts.add (juce::String ((int) r.productId) + "." + juce::String (r.sourceVersion) + ">"
                       + juce::String ((int) r.targetProductId) + "." + juce::String (r.targetVersion) + ":"
                       + juce::File (r.scriptFile).getFileName());
        return parts.joinIntoString (" ");
    }

    juce::String findChain (RuleWorld& w, juce::uint8 fromProduct, int from, juce::uint8 toProduct, int to,
                            int kind = presetKind, bool* ok = nullptr)
    {
        DataConversionManager manager (w);
        juce::Array<ConversionRuleInfo> chain;
        const bool found = manager.findConversionPath (chain, fromProduct, from, toProduct, to, kind);
        if (ok != nullptr)
            *ok = found;
        EXPECT_EQ (found, ! chain.isEmpty() || (fromProduct == toProduct && from == to));
        return describe (chain);
    }
}

TEST (ConversionGraph, NodesAndEdgesRefuseWhatCannotBeUsed)
{
    ConversionGraph g;
    g.addNode (veloce, 1);
    g.addNode (veloce, 1);      // exists
    g.addNode (255, 1);         // no product
    g.addNode (veloce, -1);     // no version
    g.addNode (veloce, 2);
    ASSERT_EQ (g.getNumNodes(), 2);
    EXPECT_EQ (g.indexOfNode (veloce, 2), 1);
    EXPECT_EQ (g.indexOfNode (veloce, 3), -1);
    EXPECT_EQ (g.findNode (veloce, 3), nullptr);

    g.addEdge (0, veloce, 2, "/a.js", 4);
    g.addEdge (0, veloce, 2, "/b.js", 1);    // the pair has its edge already
    g.addEdge (0, veloce, 3, "/c.js", 1);    // no such target
    g.addEdge (0, veloce, -2, "/d.js", 1);
    g.addEdge (5, veloce, 2, "/e.js", 1);    // no such node
    g.addEdge (-1, veloce, 2, "/e.js", 1);
    g.addEdge (1, veloce, 1, "/f.js", -3);   // negative cost
    auto* node = g.getNode (0);
    ASSERT_EQ (node->targets.size(), 1);
    EXPECT_EQ (node->targets[0], g.getNode (1));
    EXPECT_EQ (node->scriptFiles[0], "/a.js");
    EXPECT_EQ (node->costs[0], 4);
    EXPECT_TRUE (g.getNode (1)->targets.isEmpty());

    g.clear();
    EXPECT_EQ (g.getNumNodes(), 0);
}

TEST (ConversionGraph, CheapestChainWins)
{
    RuleWorld w;
    w.rule (presetKind, veloce, 1, veloce, 3, 5, "/w/direct.js");
    w.rule (presetKind, veloce, 1, veloce, 2, 1, "/w/one_two.js");
    w.rule (presetKind, veloce, 2, veloce, 3, 1, "/w/two_three.js");
    w.rule (presetKind, veloce, 3, veloce, 4, 1, "/w/three_four.js");
    EXPECT_EQ (findChain (w, veloce, 1, veloce, 3), "33.1>33.2:one_two.js 33.2>33.3:two_three.js");
    EXPECT_EQ (findChain (w, veloce, 1, veloce, 4),
               "33.1>33.2:one_two.js 33.2>33.3:two_three.js 33.3>33.4:three_four.js");

    // A cheaper direct rule takes over.
    RuleWorld cheap;
    cheap.rule (presetKind, veloce, 1, veloce, 3, 1, "/w/direct.js");
    cheap.rule (presetKind, veloce, 1, veloce, 2, 1, "/w/one_two.js");
    cheap.rule (presetKind, veloce, 2, veloce, 3, 1, "/w/two_three.js");
    EXPECT_EQ (findChain (cheap, veloce, 1, veloce, 3), "33.1>33.3:direct.js");

    // The chain carries each rule's cost and kind.
    DataConversionManager m (w);
    juce::Array<ConversionRuleInfo> chain;
    ASSERT_TRUE (m.findConversionPath (chain, veloce, 1, veloce, 3, presetKind));
    EXPECT_EQ (chain[0].cost, 1);
    EXPECT_EQ (chain[0].kind, presetKind);
}

TEST (ConversionGraph, FirstRuleForAPairWinsEvenWhenALaterOneIsCheaper)
{
    RuleWorld w;
    w.rule (presetKind, veloce, 1, veloce, 2, 7, "/w/first.js");
    w.rule (presetKind, veloce, 1, veloce, 2, 1, "/w/second.js");
    EXPECT_EQ (findChain (w, veloce, 1, veloce, 2), "33.1>33.2:first.js");
    DataConversionManager m (w);
    juce::Array<ConversionRuleInfo> chain;
    ASSERT_TRUE (m.findConversionPath (chain, veloce, 1, veloce, 2, presetKind));
    EXPECT_EQ (chain[0].cost, 7);
}

TEST (ConversionGraph, AmongEquallyNearNodesTheLastOneIsTakenNext)
{
    // 1 -> 2 -> 4 and 1 -> 3 -> 4 cost the same. Breadth-first the nodes are 1, 2, 3, 4;
    // after node 1, nodes 2 and 3 are equally near and the later one, 3, is taken first:
    // it reaches 4 first, and an equal cost through 2 does not replace that.
    RuleWorld w;
    w.rule (presetKind, veloce, 1, veloce, 2, 1, "/w/one_two.js");
    w.rule (presetKind, veloce, 1, veloce, 3, 1, "/w/one_three.js");
    w.rule (presetKind, veloce, 2, veloce, 4, 1, "/w/two_four.js");
    w.rule (presetKind, veloce, 3, veloce, 4, 1, "/w/three_four.js");
    EXPECT_EQ (findChain (w, veloce, 1, veloce, 4), "33.1>33.3:one_three.js 33.3>33.4:three_four.js");

    // With the rules of 1 listed the other way round, 2 comes later and wins.
    RuleWorld swapped;
    swapped.rule (presetKind, veloce, 1, veloce, 3, 1, "/w/one_three.js");
    swapped.rule (presetKind, veloce, 1, veloce, 2, 1, "/w/one_two.js");
    swapped.rule (presetKind, veloce, 2, veloce, 4, 1, "/w/two_four.js");
    swapped.rule (presetKind, veloce, 3, veloce, 4, 1, "/w/three_four.js");
    EXPECT_EQ (findChain (swapped, veloce, 1, veloce, 4), "33.1>33.2:one_two.js 33.2>33.4:two_four.js");
}

TEST (ConversionGraph, ChainsCrossProductsThroughEveryProductTheRulesLeadTo)
{
    RuleWorld w;
    w.rule (presetKind, veloce, 1, veloce, 2, 1, "/w/v12.js");
    w.rule (presetKind, veloce, 2, cantor, 1, 1, "/w/v2c1.js");
    w.rule (presetKind, cantor, 1, cantor, 2, 1, "/w/c12.js");
    w.rule (presetKind, cantor, 2, aria, 5, 1, "/w/c2a5.js");   // reached only through the second product
    w.rule (presetKind, aria, 5, aria, 6, 1, "/w/a56.js");
    EXPECT_EQ (findChain (w, veloce, 1, aria, 6),
               "33.1>33.2:v12.js 33.2>34.1:v2c1.js 34.1>34.2:c12.js 34.2>35.5:c2a5.js 35.5>35.6:a56.js");
    EXPECT_EQ (ConversionGraph::collectConversionProducts (veloce, presetKind, w),
               (juce::Array<juce::uint8> { veloce, cantor, aria }));

    // Within one product only its own rules count.
    bool ok = true;
    EXPECT_EQ (findChain (w, cantor, 1, cantor, 2, presetKind, &ok), "34.1>34.2:c12.js");
    EXPECT_TRUE (ok);

    // Nothing leads back.
    EXPECT_EQ (findChain (w, aria, 5, veloce, 1, presetKind, &ok), "");
    EXPECT_FALSE (ok);
}

TEST (ConversionGraph, RulesOfAProductCountForNodesAnotherProductCreatedFirst)
{
    // The first product's rule creates the second product's node 1; the second product's
    // own rule from that node must still become an edge.
    RuleWorld w;
    w.rule (presetKind, veloce, 1, cantor, 1, 1, "/w/v1c1.js");
    w.rule (presetKind, cantor, 1, cantor, 2, 1, "/w/c12.js");
    EXPECT_EQ (findChain (w, veloce, 1, cantor, 2), "33.1>34.1:v1c1.js 34.1>34.2:c12.js");

    ConversionGraph g;
    g.build (veloce, cantor, presetKind, w);
    ASSERT_EQ (g.getNumNodes(), 3);
    EXPECT_EQ (g.findNode (cantor, 1)->targets.size(), 1);
}

TEST (ConversionGraph, NegativeCostsAreIgnoredAndLargeCostsDoNotWrap)
{
    RuleWorld w;
    w.rule (presetKind, veloce, 1, veloce, 2, -5, "/w/negative.js");
    w.rule (presetKind, veloce, 1, veloce, 3, 1, "/w/one_three.js");
    w.rule (presetKind, veloce, 3, veloce, 2, 1, "/w/three_two.js");
    EXPECT_EQ (findChain (w, veloce, 1, veloce, 2), "33.1>33.3:one_three.js 33.3>33.2:three_two.js");

    // A loop of negative rules cannot make the search go round for ever.
    RuleWorld loop;
    loop.rule (presetKind, veloce, 1, veloce, 2, -1, "/w/a.js");
    loop.rule (presetKind, veloce, 2, veloce, 1, -1, "/w/b.js");
    loop.rule (presetKind, veloce, 2, veloce, 3, 1, "/w/c.js");
    bool ok = true;
    EXPECT_EQ (findChain (loop, veloce, 1, veloce, 3, presetKind, &ok), "");
    EXPECT_FALSE (ok);

    // Sums beyond 32 bits still compare right: 2 x max beats 2 x max + 1.
    const int big = std::numeric_limits<int>::max();
    RuleWorld large;
    large.rule (presetKind, veloce, 1, veloce, 4, big, "/w/one_four.js");
    large.rule (presetKind, veloce, 1, veloce, 2, big, "/w/one_two.js");
    large.rule (presetKind, veloce, 4, veloce, 5, big, "/w/four_five.js");
    large.rule (presetKind, veloce, 2, veloce, 3, big, "/w/two_three.js");
    large.rule (presetKind, veloce, 5, veloce, 3, 1, "/w/five_three.js");
    EXPECT_EQ (findChain (large, veloce, 1, veloce, 3), "33.1>33.2:one_two.js 33.2>33.3:two_three.js");
    EXPECT_EQ (findChain (large, veloce, 1, veloce, 5), "33.1>33.4:one_four.js 33.4>33.5:four_five.js");
}

TEST (ConversionGraph, EqualVersionsNeedNoChainAndMissingNodesGiveNone)
{
    RuleWorld w;
    w.rule (presetKind, veloce, 1, veloce, 2, 1, "/w/v12.js");
    bool ok = false;
    EXPECT_EQ (findChain (w, veloce, 7, veloce, 7, presetKind, &ok), "");
    EXPECT_TRUE (ok);
    EXPECT_EQ (findChain (w, veloce, 2, veloce, 1, presetKind, &ok), "");
    EXPECT_FALSE (ok);
    EXPECT_EQ (findChain (w, veloce, 1, veloce, 9, presetKind, &ok), "");
    EXPECT_FALSE (ok);
    EXPECT_EQ (findChain (w, cantor, 1, cantor, 2, presetKind, &ok), "");   // no rules, no nodes
    EXPECT_FALSE (ok);
    // Setup data has a graph of its own.
    EXPECT_EQ (findChain (w, veloce, 1, veloce, 2, setupKind, &ok), "");
    EXPECT_FALSE (ok);
    w.rule (setupKind, veloce, 1, veloce, 2, 1, "/w/s12.js");
    EXPECT_EQ (findChain (w, veloce, 1, veloce, 2, setupKind, &ok), "33.1>33.2:s12.js");
}

TEST (ConversionGraph, PathFinderServesEveryDestinationOfOneSource)
{
    RuleWorld w;
    w.rule (presetKind, veloce, 1, veloce, 2, 1, "/w/a.js");
    w.rule (presetKind, veloce, 2, veloce, 3, 1, "/w/b.js");
    w.rule (presetKind, veloce, 1, veloce, 4, 3, "/w/c.js");
    auto g = std::make_unique<ConversionGraph>();
    g->build (veloce, veloce, presetKind, w);

    ConversionGraph::PathFinder finder (*g);
    auto toThree = finder.getPath (veloce, 1, veloce, 3);
    ASSERT_EQ (toThree.size(), 3);
    EXPECT_EQ (toThree[2], g->findNode (veloce, 3));
    // Further destinations from the same source, and back to the first one.
    EXPECT_EQ (finder.getPath (veloce, 1, veloce, 4).size(), 2);
    EXPECT_EQ (finder.getPath (veloce, 1, veloce, 2).size(), 2);
    EXPECT_EQ (finder.getPath (veloce, 1, veloce, 3), toThree);
    EXPECT_TRUE (finder.getPath (veloce, 1, veloce, 9).isEmpty());
    EXPECT_EQ (finder.getPath (veloce, 1, veloce, 3), toThree);
    // Another source searches anew.
    EXPECT_EQ (finder.getPath (veloce, 2, veloce, 3).size(), 2);
    EXPECT_TRUE (finder.getPath (veloce, 2, veloce, 4).isEmpty());
    EXPECT_EQ (finder.getPath (veloce, 2, veloce, 2).size(), 1);

    // A finder outliving its graph finds nothing.
    g.reset();
    EXPECT_TRUE (finder.getPath (veloce, 3, veloce, 3).isEmpty());
}
