// The captions of the menu and the dialogs: the Japanese texts from the core (compiled from the
// desktop's caption table), and their English translations from the desktop's translation file,
// kavarin_en.ts. The language is chosen by the desktop's rule from the browser's first language.

// context + "\u0004" + Japanese text to English text, from a Qt .ts file.
async function ReadTranslations(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${url}: ${response.status}`);
  const xml = new DOMParser().parseFromString(await response.text(), 'application/xml');
  const table = new Map();
  for (const context of xml.querySelectorAll('context')) {
    const name = context.querySelector('name')?.textContent ?? '';
    for (const message of context.querySelectorAll('message')) {
      const source = message.querySelector('source')?.textContent;
      const translation = message.querySelector('translation');
      if (source === undefined || !translation || translation.getAttribute('type') === 'unfinished') continue;
      table.set(`${name}\u0004${source}`, translation.textContent);
    }
  }
  return table;
}

// Lines of tab-separated fields from the core.
function Rows(text) {
  return text.split('\n').filter((line) => line).map((line) => line.split('\t'));
}

export class Captions {
  static async Load(core) {
    const first = (navigator.languages && navigator.languages[0]) || navigator.language || '';
    core.stringToUTF8(first.slice(0, 60), core._kv_scratch(), 256);
    const english = core._kv_language_is_english(core._kv_scratch()) === 1;
    let translations = new Map();
    if (english) {
      try {
        translations = await ReadTranslations('kavarin_en.ts');
      } catch (e) {
        console.warn(`The English captions could not be read, so they stay Japanese: ${e.message}`);
      }
    }
    return new Captions(core, english ? 'en' : 'ja', translations);
  }

  constructor(core, language, translations) {
    this.language = language;
    const shown = (context, text) => translations.get(`${context}\u0004${text}`) ?? text;
    this.named = new Map();
    for (const [name, context, text] of Rows(core.UTF8ToString(core._kv_captions()))) {
      this.named.set(name, shown(context, text));
    }
    this.labels = Rows(core.UTF8ToString(core._kv_how_to_play_labels())).map(
      ([name, left, top, size, context, text]) => ({
        name, left: Number(left), top: Number(top), size: Number(size), text: shown(context, text),
      }));
  }

  Text(name) {
    return this.named.get(name) ?? '';
  }
}

// Puts a caption into an element, its "&" access key underlined; returns the key, upper case.
export function ShowCaption(element, caption) {
  element.textContent = '';
  let key = '';
  for (let i = 0; i < caption.length; ++i) {
    if (caption[i] === '&' && i + 1 < caption.length && caption[i + 1] !== '&' && !key) {
      key = caption[i + 1].toUpperCase();
      const u = document.createElement('u');
      u.textContent = caption[i + 1];
      element.append(u);
      ++i;
    } else {
      element.append(caption[i] === '&' ? (++i, '&') : caption[i]);
    }
  }
  return key;
}
