#pragma once

namespace qm::app {

// The page the program opens when it is given no other: a few buttons that open windows the way pages
// do, so that a new user sees what the program lets through and what it stops.
inline constexpr char kDemoPage[] = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Quillmere</title>
<style>body{font:14px sans-serif;margin:2em;max-width:40em}button{margin:.3em 0;display:block}</style>
</head><body>
<h1>Quillmere is watching this window</h1>
<p>Windows that a page opens by itself are stopped; the ones you ask for with a click open.
Hold Ctrl while a page opens a window to let everything through for the moment.</p>
<button id="asked" onclick="window.open('about:blank#asked-for','_blank','width=400,height=300')">Open a window (asked for)</button>
<button id="late" onclick="setTimeout(function(){window.open('https://ads.example.com/','_blank')},3000)">Open a window three seconds later (not asked for)</button>
<script>setTimeout(function(){window.open('https://popup.example.com/','_blank','width=300,height=200')},1500);</script>
</body></html>
)HTML";

}  // namespace qm::app
