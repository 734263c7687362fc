// SPDX-License-Identifier: GPL-3.0-or-later
// The formula typesetter the program runs in its own script engine: MathJax's TeX input and
// SVG output on the lite adaptor, which needs no browser. Glyphs are kept per formula (a local
// font cache), so every SVG stands on its own. Bundled by esbuild into one script that defines
// corvaneTypeset(tex, display) -> {svg} or {error}.
import {mathjax} from 'mathjax-full/js/mathjax.js';
import {TeX} from 'mathjax-full/js/input/tex.js';
import {SVG} from 'mathjax-full/js/output/svg.js';
import {liteAdaptor} from 'mathjax-full/js/adaptors/liteAdaptor.js';
import {RegisterHTMLHandler} from 'mathjax-full/js/handlers/html.js';
import 'mathjax-full/js/input/tex/base/BaseConfiguration.js';
import 'mathjax-full/js/input/tex/ams/AmsConfiguration.js';
import 'mathjax-full/js/input/tex/newcommand/NewcommandConfiguration.js';
import 'mathjax-full/js/input/tex/boldsymbol/BoldsymbolConfiguration.js';
import 'mathjax-full/js/input/tex/mhchem/MhchemConfiguration.js';
import 'mathjax-full/js/input/tex/color/ColorConfiguration.js';
import 'mathjax-full/js/input/tex/cancel/CancelConfiguration.js';

const adaptor = liteAdaptor();
RegisterHTMLHandler(adaptor);
const tex = new TeX({
  packages: ['base', 'ams', 'newcommand', 'boldsymbol', 'mhchem', 'color', 'cancel'],
  // A mistake in the TeX is reported to the caller instead of being typeset in red.
  formatError: (jax, error) => { throw error; },
});
const svg = new SVG({fontCache: 'local'});
const doc = mathjax.document('', {InputJax: tex, OutputJax: svg});

// Qt's script engine has no globalThis.
const root = Function('return this')();
root.corvaneTypeset = function (source, display) {
  try {
    const node = doc.convert(source, {display: !!display});
    return {svg: adaptor.innerHTML(node)};
  } catch (e) {
    return {error: String((e && e.message) || e)};
  }
};
