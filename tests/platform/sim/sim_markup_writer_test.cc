#include "platform/sim/sim_markup_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/sim/sim_document.h"
#include "platform/sim/sim_platform.h"

namespace qm::sim {
namespace {

class SimMarkupWriterTest : public ::testing::Test {
  protected:
    std::shared_ptr<SimDocument> Page(const std::string& html) {
        return SimDocument::Create(sim.world, liveness, "http://news.example/", html);
    }
    // The markup of the page's body as the writer gives it back.
    std::string BodyMarkup(const std::string& html) { return Page(html)->BodyElement()->OuterHTML(); }

    SimPlatform sim;
    std::shared_ptr<Liveness> liveness = std::make_shared<Liveness>();
};

struct WriteCase {
    const char* what;
    const char* body;     // the content of <body> as read
    const char* written;  // the content of <body> as written back
};

class SimMarkupWriterCaseTest : public SimMarkupWriterTest,
                                public ::testing::WithParamInterface<WriteCase> {};

TEST_P(SimMarkupWriterCaseTest, WritesTheBodyBackAsABrowserWould) {
    const WriteCase& c = GetParam();
    EXPECT_EQ(BodyMarkup(std::string("<body>") + c.body + "</body>"),
              std::string("<body>") + c.written + "</body>")
        << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases,
    SimMarkupWriterCaseTest,
    ::testing::Values(
        WriteCase{"names in lower case, values quoted, attributes in their order",
                  "<DIV Class=x ID='y' data-n=3>t</DIV>", "<div class=\"x\" id=\"y\" data-n=\"3\">t</div>"},
        WriteCase{"an attribute without a value", "<input disabled>", "<input disabled=\"\">"},
        WriteCase{"quotes and markup characters in an attribute", "<p title='say \"hi\" &amp; <go>'></p>",
                  "<p title=\"say &quot;hi&quot; &amp; &lt;go&gt;\"></p>"},
        WriteCase{"markup characters in text; quotes left as they are", "<p>a &lt;b&gt; &amp; \"c\"</p>",
                  "<p>a &lt;b&gt; &amp; \"c\"</p>"},
        WriteCase{"void elements have no end tag", "<br><img src=a.gif><hr><input value=x><wbr>",
                  "<br><img src=\"a.gif\"><hr><input value=\"x\"><wbr>"},
        WriteCase{"the older void elements have none either", "<bgsound src=s.wav><basefont size=3>",
                  "<bgsound src=\"s.wav\"><basefont size=\"3\">"},
        WriteCase{"script text as written", "<script>if (a < b && c > d) {}</script>",
                  "<script>if (a < b && c > d) {}</script>"},
        WriteCase{"style text as written", "<style>a > img { content: \"&\" }</style>",
                  "<style>a > img { content: \"&\" }</style>"},
        WriteCase{"the text of an inline frame as written", "<iframe>no frames? &amp; <b>x</b></iframe>",
                  "<iframe>no frames? &amp; <b>x</b></iframe>"},
        WriteCase{"xmp and noembed text as written", "<xmp>a &amp; <b></xmp><noembed>1 &lt; 2</noembed>",
                  "<xmp>a &amp; <b></xmp><noembed>1 &lt; 2</noembed>"},
        WriteCase{"a text area's text is escaped again", "<textarea>a &amp; &lt;b&gt;</textarea>",
                  "<textarea>a &amp; &lt;b&gt;</textarea>"},
        WriteCase{"an element of no known kind keeps its name", "<ad-slot size=big>x</ad-slot>",
                  "<ad-slot size=\"big\">x</ad-slot>"},
        WriteCase{"text that is not ASCII passes through", "<p title='caf\xc3\xa9'>\xe2\x82\xac 5</p>",
                  "<p title=\"caf\xc3\xa9\">\xe2\x82\xac 5</p>"}));

TEST_F(SimMarkupWriterTest, PagesComeBackTheSameWhenReadAgain) {
    // Whatever the writer gives, parsing it again and writing it once more gives the same markup: nothing
    // is escaped twice, lost or moved.
    for (const char* fixture : {"news_with_ads.html", "plain_article.html", "framed_page.html",
                                "frameset_page.html", "weather.html", "cr_ads.html"}) {
        sim.world.AddFixturePage("http://news.example/page", fixture);
        const std::string first = Page(sim.world.PageHtml("http://news.example/page"))->Markup();
        EXPECT_EQ(Page(first)->Markup(), first) << fixture;
    }
    const std::string tricky =
        "<html><head><style>a>b{}</style><script>x='<&>'</script></head><body title='&quot;&amp;'>"
        "<iframe>&amp;lt;</iframe><p>&lt;&amp;&gt;</p></body></html>";
    const std::string once = Page(tricky)->Markup();
    EXPECT_EQ(Page(once)->Markup(), once);
}

TEST_F(SimMarkupWriterTest, FramesOfAFramesetHaveNoEndTag) {
    const std::string markup =
        Page("<html><frameset cols='50%,*'><frame src=a.html><frame src=b.html></frameset></html>")->Markup();
    EXPECT_NE(markup.find("<frame src=\"a.html\"><frame src=\"b.html\"></frameset>"), std::string::npos)
        << markup;
}

TEST_F(SimMarkupWriterTest, WritesAnElementAsItStandsAfterChanges) {
    auto page = Page("<body><a id=l href='/go'><img src=b.gif></a></body>");
    auto link = page->ElementById("l");
    link->SetAttribute("target", Variant("_blank"));
    link->SetStyle(StyleProperty::Display, "none");
    link->SetAttribute("href", Variant());  // removes it
    SimMarkupWriter writer;
    writer.Write(*link);
    EXPECT_EQ(writer.Markup(),
              "<a id=\"l\" target=\"_blank\" style=\"display: none\"><img src=\"b.gif\"></a>");
}

}  // namespace
}  // namespace qm::sim
