<!--
// Click-to-fold outline. A list marked "dynamicoutline" folds and unfolds the list under an
// entry when the entry is clicked; one marked "initcollapsed" starts with its nested lists folded.
// Lists in a table with a border, and lists marked "nodynamicoutline", stay as they are. For the
// keyboard and screen readers the header of every entry that folds is a button: Tab reaches it,
// Enter and Space fold and unfold as a click does, and aria-expanded tells which it is.

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
        if (dynOutlineEnabled(entries[j]))
            outlineMarkHeader(entries[j]);
    }
}

// Keyboard and screen readers: the header of an entry that folds is a button in the Tab order
// that says whether its list is shown. A folded list is not displayed, so the links in it leave
// the Tab order with it.
function outlineFoldedList(entry)
{
    for (var child = entry.firstChild; child; child = child.nextSibling) {
        if (outlineIsList(outlineTag(child)))
            return child;
    }
    return null;
}

function outlineHeaderOf(entry)
{
    for (var child = entry.firstChild; child; child = child.nextSibling) {
        if (child.nodeType == 1)
            return outlineIsList(outlineTag(child)) ? null : child;
    }
    return null;
}

function outlineMarkHeader(entry)
{
    var list = outlineFoldedList(entry);
    var header = outlineHeaderOf(entry);
    if (!list || !header)
        return;
    header.setAttribute("tabindex", "0");
    header.setAttribute("role", "button");
    header.setAttribute("aria-expanded", list.style.display == "none" ? "false" : "true");
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
    outlineToggle(control);
}

// Shows or hides the lists that belong to an entry.
function outlineToggle(control)
{
    var walker = document.createTreeWalker(document.documentElement,
                                           NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_COMMENT, null);
    walker.currentNode = control;
    for (var node = walker.nextNode(); node != null && containedIn(node, control);
         node = walker.nextNode()) {
        if (outlineIsList(outlineTag(node)))
            node.style.display = (node.style.display == "none") ? "" : "none";
    }
    if (outlineTag(control) == "LI")
        outlineMarkHeader(control);
}

// Enter and Space on a header fold and unfold its entry as a click does.
function outlineKey(e)
{
    var key = e.key || e.keyCode;
    if (key != "Enter" && key != 13 && key != " " && key != "Spacebar" && key != 32)
        return;
    var header = e.target;
    if (!header || header.nodeType != 1 || header.getAttribute("role") != "button")
        return;
    var control = getControlTag(header);
    if (control == null || outlineHeaderOf(control) != header || !dynOutlineEnabled(control))
        return;
    // Space would scroll the page, Enter would repeat while held.
    e.preventDefault();
    if (!e.repeat)
        outlineToggle(control);
}

// The body's onclick calls dynOutline() without the event; keep the click at hand for it.
document.addEventListener("click", function (e) { outlineLastClick = e; }, true);
document.addEventListener("keydown", outlineKey);

if (document.readyState == "loading")
    document.addEventListener("DOMContentLoaded", initOutline);
else
    initOutline();
//-->
