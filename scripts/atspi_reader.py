#!/usr/bin/python3
# A screen reader's view of the running reader, through the AT-SPI bus: the title-strip buttons
# by name, the article's text, the selection after a Find from the contents window, a link's
# target and following it, and a button pressed through its action. Every wait is bounded.
#
#   /usr/bin/python3 scripts/atspi_reader.py BIN_DIR
import glob, html.parser, os, re, sys, time
import pyatspi

inside = os.path.join(sys.argv[1], "inside")


def fail(message):
    print("AT-SPI test: " + message, file=sys.stderr)
    sys.exit(1)


def wait_for(what, probe, seconds=15):
    deadline = time.time() + seconds
    while time.time() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes while it is walked
            found = None
        if found:
            return found
        time.sleep(0.3)
    fail(what + " (waited %d s)" % seconds)


def nodes(root, depth=0):
    yield root
    if depth > 12 or root.getRoleName() in ("tree", "tree table", "table", "list"):
        return
    for i in range(root.childCount):
        child = root.getChildAtIndex(i)
        if child is not None:
            yield from nodes(child, depth + 1)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def find(root, role, name=None):
    for node in nodes(root):
        if node.getRoleName() == role and (name is None or node.name == name) and showing(node):
            return node
    return None


def press(node, action):
    act = node.queryAction()
    names = [act.getName(i) for i in range(act.nActions)]
    if action not in names:
        fail("%s '%s' has no action %s (only %s)" % (node.getRoleName(), node.name, action, names))
    act.doAction(names.index(action))


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "kvarnelya":
            return app
    return None


def squeeze(text):
    return re.sub(r"\s+", " ", text).strip()


class Article(html.parser.HTMLParser):
    """The title, the first paragraph and the first link target of an article file."""

    def __init__(self, path):
        super().__init__(convert_charrefs=True)
        self.title = self.paragraph = self.link = None
        self.part = None
        with open(path, encoding="cp1251") as f:
            self.feed(f.read())

    def handle_starttag(self, tag, attrs):
        if tag in ("title", "p") and getattr(self, tag if tag == "title" else "paragraph") is None:
            self.part, self.text = tag, ""
        elif tag == "p" and self.part == "p":
            self.end("p")
        if tag == "a" and self.link is None and dict(attrs).get("href"):
            self.link = dict(attrs)["href"]

    def handle_endtag(self, tag):
        if tag == self.part:
            self.end(tag)

    def end(self, tag):
        if tag == "title":
            self.title = squeeze(self.text)
        else:
            self.paragraph = squeeze(self.text)
        self.part = None

    def handle_data(self, data):
        if self.part:
            self.text += data


app = wait_for("the reader never showed up on the AT-SPI bus", application, 30)
for name in ("СОДЕРЖАНИЕ", "ПОИСК", "ПЕЧАТЬ", "АНОНС", "Свернуть", "Закрыть"):
    button = wait_for("no push button named " + name, lambda: find(app, "push button", name))
    press_names = [button.queryAction().getName(i) for i in range(button.queryAction().nActions)]
    if "Press" not in press_names:
        fail("the button %s cannot be pressed (actions %s)" % (name, press_names))
print("AT-SPI test: the title strip's buttons and marks are named push buttons")

document = wait_for("no article document", lambda: find(app, "document frame"))
wait_for("the article has no name", lambda: document.name)
articles = {Article(p).title: p for p in glob.glob(os.path.join(inside, "*", "index.htm"))}
if document.name not in articles:
    fail("the article's name '%s' is no article's title" % document.name)
article = Article(articles[document.name])
text = document.queryText()
spoken = text.getText(0, -1)
if article.paragraph not in squeeze(spoken):
    fail("the first paragraph \"%s\" is not in the article's text" % article.paragraph)
if re.search(r"[\x00-\x08\x0b-\x1f]", spoken):
    fail("the article's text holds control characters")
print("AT-SPI test: %s reads %d characters, its first paragraph among them" % (document.name, len(spoken)))

links = [n for n in (document.getChildAtIndex(i) for i in range(document.childCount)) if n]
links = [n for n in links if n.getRoleName() == "link"]
if not links or links[0].description != article.link:
    fail("the first link's target is %s, not %s" % (links[0].description if links else None, article.link))
print("AT-SPI test: %d links, the first one to %s" % (len(links), links[0].description))

# A Find from the contents window: its check box, the phrase, «искать далее».
press(find(app, "check box", "Показывать содержание"), "Toggle")
find_next = wait_for("the contents window did not open", lambda: find(app, "push button", "искать далее"))
phrase = max(re.findall(r"\w+", article.paragraph), key=len)
box = find_next.parent
edit = next(n for n in nodes(box) if n.getRoleName() == "text" and showing(n))
edit.queryEditableText().setTextContents(phrase)
press(find_next, "Press")
selected = lambda: text.getNSelections() > 0 and text.getText(*text.getSelection(0))
got = wait_for("a Find of \"%s\" selected nothing" % phrase, selected)
if got.lower() != phrase.lower():
    fail("a Find of \"%s\" selected \"%s\"" % (phrase, got))
print("AT-SPI test: a Find from the contents window selected \"%s\"" % got)

# ПОИСК pressed through its action opens the search window.
if find(app, "list", "Найденные разделы") or find(app, "tree", "Найденные разделы"):
    fail("the search window shows before ПОИСК is pressed")
press(find(app, "push button", "ПОИСК"), "Press")
wait_for("pressing ПОИСК opened no search window",
         lambda: find(app, "list", "Найденные разделы") or find(app, "tree", "Найденные разделы")
         or find(app, "tree table", "Найденные разделы"))
print("AT-SPI test: pressing ПОИСК opened the search window")

# Following the first link shows its article.
before = document.name
press(links[0], "Press")
wait_for("following the link left %s shown" % before,
         lambda: find(app, "document frame").name not in ("", before))
print("AT-SPI test: the link led to %s" % find(app, "document frame").name)
