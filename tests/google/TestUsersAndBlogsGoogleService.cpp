#include "BlockRecorder.h"
#include "StandinHarness.h"
#include "TestSupport.h"
#include "TinyHttpServer.h"

#include "google/UsersAndBlogsGoogleService.h"

#include <QtTest>

namespace {

struct Run
{
    BlockRecorder<BloggerUser> user;
    BlockRecorder<QList<BloggerBlog>> blogs;
    BlockRecorder<BloggerSuccessResponse> userError;
    BlockRecorder<BloggerSuccessResponse> blogsError;
};

} // namespace

class TestUsersAndBlogsGoogleService : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;

    std::shared_ptr<UsersAndBlogsGoogleService> client(Run& run, const QString& token)
    {
        auto service = UsersAndBlogsGoogleService::create(h->auth, token);
        service->setTimeoutInterval(5);
        service->onGetSelfUserDetailsBlockSuccess = run.user.block();
        service->onGetSelfUserDetailsBlockError = run.userError.block();
        service->onListSelfBlogsBlockSuccess = run.blogs.block();
        service->onListSelfBlogsBlockError = run.blogsError.block();
        return service;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }
    void init() { h = std::make_unique<StandinHarness>(); }
    void cleanup() { h.reset(); }

    void testUserDetailsOnTheWire()
    {
        Run run;
        h->standin.clearRequests();
        client(run, h->accessToken)->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QCOMPARE(run.user.calls(), 1);
        const BloggerUser user = run.user.last();
        QCOMPARE(user.userId, QString("107741234567812345678"));
        QCOMPARE(user.userName, QString("Mara Quill"));
        QVERIFY(!user.userPicture.isEmpty());

        const QList<LoggedRequest> requests = h->standin.requests();
        QCOMPARE(requests.size(), 1); // no token refresh
        QCOMPARE(requests[0].method, QByteArray("GET"));
        QCOMPARE(requests[0].path(), QByteArray("/oauth2/v1/userinfo"));
        QVERIFY(StandinHarness::hasNumericRand(requests[0]));
        QCOMPARE(StandinHarness::queryWithoutRand(requests[0]), QByteArray(""));
        QCOMPARE(
            StandinHarness::clientHeaders(requests[0]),
            (QList<QPair<QByteArray, QByteArray>>{{"Authorization", "OAuth " + h->accessToken.toUtf8()}}));
        QVERIFY(requests[0].body.isEmpty());
    }

    void testRandDiffersBetweenRequests()
    {
        Run run;
        auto service = client(run, h->accessToken);
        h->standin.clearRequests();
        service->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        service->listSelfBlogs("u");
        QVERIFY(waitForOneOf(run.blogs, run.blogsError));
        const QList<LoggedRequest> requests = h->standin.requests();
        QCOMPARE(requests.size(), 2);
        QVERIFY(requests[0].queryValue("rand") != requests[1].queryValue("rand") ||
                requests[0].queryValue("rand") == "0");
    }

    void testExpiredTokenGivesServiceMessageNotEmptyUser()
    {
        h->standin.expireAccessToken(h->accessToken);
        Run run;
        client(run, h->accessToken)->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QCOMPARE(run.userError.last(), BloggerSuccessResponse(false, "Invalid Credentials"));
    }

    void testUserReplyWithoutIdIsFailure()
    {
        TinyHttpServer server("{\"name\": \"Nobody\", \"error\": null}");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        Run run;
        client(run, "t")->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QCOMPARE(run.userError.last(), BloggerSuccessResponse(false, "Error could not parse response"));
    }

    void testUserReplyArrayIsFailure()
    {
        TinyHttpServer server("[{\"id\": \"1\"}]");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        Run run;
        client(run, "t")->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QCOMPARE(run.userError.last().details, QString("Error could not parse response"));
    }

    void testUserWithErrorStatusIsFailureWhateverTheBody()
    {
        TinyHttpServer server(TestSupport::readFixture("userinfo.json"), "500 Internal Server Error");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        Run run;
        client(run, "t")->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QCOMPARE(run.userError.calls(), 1);
        QCOMPARE(run.userError.last().details, GoogleRequestServiceBase::statusMessage(500));
    }

    void testReplyPastTheJsonLimitIsRefused()
    {
        const QByteArray name(GoogleRequestServiceBase::MaximumJsonReplySize, 'x');
        TinyHttpServer server("{\"id\": \"1\", \"name\": \"" + name + "\"}");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        Run run;
        client(run, "t")->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QCOMPARE(run.userError.calls(), 1);
        QVERIFY2(run.userError.last().details.contains("larger than"),
                 qPrintable(run.userError.last().details));
    }

    void testBlogsInReplyOrderWithGivenUserId()
    {
        Run run;
        h->standin.clearRequests();
        client(run, h->accessToken)->listSelfBlogs("given-user");
        QVERIFY(waitForOneOf(run.blogs, run.blogsError));
        const QList<BloggerBlog> blogs = run.blogs.last();
        const QList<StandinBlog> expected = h->standin.blogs(h->standin.defaultAccountId());
        QCOMPARE(blogs.size(), expected.size());
        for (int i = 0; i < blogs.size(); ++i) {
            QCOMPARE(blogs[i].blogId, expected[i].id);
            QCOMPARE(blogs[i].blogName, expected[i].name);
            QCOMPARE(blogs[i].userId, QString("given-user"));
            QVERIFY(blogs[i].blogUrl.endsWith("/" + expected[i].path + "/"));
            QCOMPARE(blogs[i].blogStatus, QString("LIVE"));
        }
        const LoggedRequest request = h->standin.requests().value(0);
        QCOMPARE(request.path(), QByteArray("/blogger/v3/users/self/blogs"));
        QVERIFY(StandinHarness::hasNumericRand(request));
        QCOMPARE(StandinHarness::clientHeaderNames(request), QByteArrayList({"Authorization"}));
    }

    void testBlogsWithInvalidTokenGiveServiceMessage()
    {
        Run run;
        client(run, "not-a-token")->listSelfBlogs("u");
        QVERIFY(waitForOneOf(run.blogs, run.blogsError));
        QCOMPARE(run.blogsError.last(), BloggerSuccessResponse(false, "Invalid Credentials"));
    }

    void testBlogsWithoutItemsIsEmptyList()
    {
        TinyHttpServer server("{\"kind\": \"blogger#blogList\"}");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        Run run;
        client(run, "t")->listSelfBlogs("u");
        QVERIFY(waitForOneOf(run.blogs, run.blogsError));
        QVERIFY(run.blogs.last().isEmpty());
    }

    void testBlogItemThatIsNoObjectKeepsUserId()
    {
        TinyHttpServer server("{\"items\": [3, {\"id\": \"b2\", \"name\": \"N\"}]}");
        qputenv("PENHOLLOW_GOOGLE_API_URL", server.url().toUtf8());
        Run run;
        client(run, "t")->listSelfBlogs("u");
        QVERIFY(waitForOneOf(run.blogs, run.blogsError));
        const QList<BloggerBlog> blogs = run.blogs.last();
        QCOMPARE(blogs.size(), 2);
        QCOMPARE(blogs[0], BloggerBlog("", "u", "", "", ""));
        QCOMPARE(blogs[1], BloggerBlog("b2", "u", "N", "", ""));
    }

    void testNoReplyGivesNoResponseMessage()
    {
        h->standin.addFault(StandinFault::Kind::NoReply, "/blogger/v3/users");
        Run run;
        client(run, h->accessToken)->listSelfBlogs("u");
        QVERIFY(waitForOneOf(run.blogs, run.blogsError));
        QCOMPARE(run.blogsError.last().details, GoogleRequestServiceBase::noResponseMessage());
    }

    void testStalledReplyTimesOut()
    {
        h->standin.addFault(StandinFault::Kind::Stall, "/oauth2/v1/userinfo");
        Run run;
        auto service = client(run, h->accessToken);
        service->setTimeoutInterval(0.3);
        service->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QCOMPARE(run.userError.last().details, GoogleRequestServiceBase::noResponseMessage());
    }

    void testHtmlErrorPageIsParseError()
    {
        h->standin.addFault(StandinFault::Kind::HtmlErrorPage, "/oauth2/v1/userinfo");
        Run run;
        client(run, h->accessToken)->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QVERIFY(run.userError.last().details.startsWith("Parse error: "));
    }

    void testServiceErrorObjectMessage()
    {
        StandinFault fault;
        fault.kind = StandinFault::Kind::ErrorObject;
        fault.pathPrefix = "/blogger/v3/users";
        fault.message = "Quota exceeded";
        h->standin.addFault(fault);
        Run run;
        client(run, h->accessToken)->listSelfBlogs("u");
        QVERIFY(waitForOneOf(run.blogs, run.blogsError));
        QCOMPARE(run.blogsError.last().details, QString("Quota exceeded"));
    }

    void testNonUtf8ReplyIsParseError()
    {
        h->standin.addFault(StandinFault::Kind::NonUtf8Body, "/oauth2/v1/userinfo");
        Run run;
        client(run, h->accessToken)->getSelfUserDetails();
        QVERIFY(waitForOneOf(run.user, run.userError));
        QVERIFY(run.userError.last().details.startsWith("Parse error: "));
    }

    void testClientLivesUntilItsReplyArrives()
    {
        Run run;
        client(run, h->accessToken)->getSelfUserDetails(); // the only reference is gone at once
        QVERIFY(waitForOneOf(run.user, run.userError));
        QCOMPARE(run.user.calls(), 1);
    }
};

QTEST_GUILESS_MAIN(TestUsersAndBlogsGoogleService)
#include "TestUsersAndBlogsGoogleService.moc"
