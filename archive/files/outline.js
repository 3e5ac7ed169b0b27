<!--
// Click-to-fold outline. A list marked "dynamicoutline" folds and unfolds the list under an
// entry when the entry is clicked; one marked "initcollapsed" starts with its nested lists folded.
// Lists in a table with a border, and lists marked "nodynamicoutline", stay as they are.

var outlineLastClick = null;

function outlineTag(el)
{
    return (el && el.nodeType == 1) ? el.tagName.toUpperCase() : "";
}

function outlineIsList(tag)
{
    return tag == "UL" || tag == "OL" || tag == "TABLE";
}

function outlineBordered(el)
{
    if (outlineTag(el) != "TABLE")
        return false;
    var border = el.getAttribute("border");
    return border !== null && border != 0;
}

// The entry a click on src belongs to: the nearest LI, or a TR when the click came through an
// image, font, link or cell of that row; null otherwise.
function getControlTag(src)
{
    var passed = false;
    for (var el = src; el && el.nodeType == 1; el = el.parentNode) {
        var tag = outlineTag(el);
        if (tag == "HTML")
            return null;
        if (tag == "IMG" || tag == "FONT" || tag == "A" || tag == "TD")
            passed = true;
        if (tag == "LI")
            return el;
        if (tag == "TR")
            return passed ? el : null;
    }
    return null;
}

function dynOutlineEnabled(src)
{
    for (var el = src; el && el.nodeType == 1; el = el.parentNode) {
        var tag = outlineTag(el);
        if (tag == "BODY" || tag == "HTML")
            return false;
        if (outlineBordered(el))
            return false;
        if (outlineIsList(tag)) {
            if (el.hasAttribute("nodynamicoutline"))
                return false;
            if (el.hasAttribute("dynamicoutline"))
                return true;
        }
    }
    return false;
}

function initCollapse(src)
{
    for (var el = src; el && el.nodeType == 1; el = el.parentNode) {
        var tag = outlineTag(el);
        if (tag == "BODY" || tag == "HTML")
            return false;
        if (outlineBordered(el))
            return false;
        if (outlineIsList(tag) && el.hasAttribute("initcollapsed"))
            return true;
    }
    return false;
}

function initOutline()
{
    var kinds = ["UL", "OL", "TABLE"];
    for (var k = 0; k < kinds.length; k++) {
        var lists = document.getElementsByTagName(kinds[k]);
        for (var i = 0; i < lists.length; i++) {
            var list = lists[i];
            if (dynOutlineEnabled(list.parentNode) && initCollapse(list))
                list.style.display = "none";
        }
    }
    // Entries styled with the old "hand" cursor get the pointer that browsers know today.
    var entries = document.getElementsByTagName("LI");
    for (var j = 0; j < entries.length; j++) {
        var style = entries[j].getAttribute("style");
        if (style && /cursor\s*:\s*hand/i.test(style) && dynOutlineEnabled(entries[j]))
            entries[j].style.cursor = "pointer";
    }
}

function containedIn(src, dest)
{
    if (src.nodeType == 8)
        return true;
    return getControlTag(src) == dest;
}

// The page body's click handler: shows or hides the lists that belong to the clicked entry.
function dynOutline(e)
{
    e = e || window.event || outlineLastClick;
    if (!e)
        return;
    var src = e.target || e.srcElement;
    if (src && src.nodeType == 3)
        src = src.parentNode;
    var control = getControlTag(src);
    if (control == null || !dynOutlineEnabled(control))
        return;
    var walker = document.createTreeWalker(document.documentElement,
                                           NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_COMMENT, null);
    walker.currentNode = control;
    for (var node = walker.nextNode(); node != null && containedIn(node, control);
         node = walker.nextNode()) {
        if (outlineIsList(outlineTag(node)))
            node.style.display = (node.style.display == "none") ? "" : "none";
    }
}

// The body's onclick calls dynOutline() without the event; keep the click at hand for it.
document.addEventListener("click", function (e) { outlineLastClick = e; }, true);

if (document.readyState == "loading")
    document.addEventListener("DOMContentLoaded", initOutline);
else
    initOutline();
//-->
