#pragma once

namespace qm::app {

// The page the program opens when it is given no other: a window that the page opens by itself a moment
// after loading, a link and a button that open windows when clicked, and the kinds of advertisement the
// program takes out of pages (a 468 x 60 banner in a link, a floating layer and an ad frame), so that a
// new user sees what the program lets through and what it stops.
inline constexpr char kDemoPage[] = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Quillmere</title>
<style>body{font:14px sans-serif;margin:2em;max-width:40em}button{margin:.3em 0;display:block}
.box{display:block;background:#f5b400;color:#222;font:bold 20px sans-serif}</style>
</head><body>
<h1>Quillmere is watching this window</h1>
<p>Windows that a page opens by itself are stopped; the ones you ask for with a click open.
Hold Ctrl while a page opens a window to let everything through for the moment.</p>
<p><a id="link" href="about:blank#asked-for" target="_blank">Open a window with a link (asked for)</a></p>
<button id="asked" onclick="window.open('about:blank#asked-for','_blank','width=400,height=300')">Open a window (asked for)</button>
<button id="late" onclick="setTimeout(function(){window.open('https://ads.example.com/','_blank')},3000)">Open a window three seconds later (not asked for)</button>
<h2>Advertisements</h2>
<p>A banner in a link, 468 &times; 60:</p>
<a id="banner" href="https://ads.example.com/click?campaign=demo"><img width="468" height="60" alt="Banner"
src="data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='468' height='60'%3E%3Crect width='468' height='60' fill='%23f5b400'/%3E%3Ctext x='20' y='38' font-size='22' font-family='sans-serif'%3EBuy now! A banner advertisement%3C/text%3E%3C/svg%3E"></a>
<p>An ad frame:</p>
<iframe id="adframe" width="468" height="60" src="https://ads.example.com/frame.html" title="Ad frame"></iframe>
<div id="floating" style="position:absolute;left:520px;top:120px;width:160px;height:120px;background:#d33"><img width="160" height="120" alt=""
src="data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='160' height='120'%3E%3Crect width='160' height='120' fill='%23d33'/%3E%3Ctext x='12' y='66' font-size='18' fill='white' font-family='sans-serif'%3EFloating ad%3C/text%3E%3C/svg%3E"></div>
<script>setTimeout(function(){window.open('https://popup.example.com/','_blank','width=300,height=200')},1500);</script>
</body></html>
)HTML";

}  // namespace qm::app
