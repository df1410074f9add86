// Reads an Anki package with anki-reader (an independent deck reader) and
// prints what a learner's Anki would see: the decks, the note type with its
// fields and templates, and each card's deck, template and fields.
// usage: node read_deck.mjs DECK.apkg
import { readFileSync } from 'node:fs';
import { readAnkiPackage } from 'anki-reader';

const bytes = readFileSync(process.argv[2]);
const { collection } = await readAnkiPackage(new Blob([bytes]));
for (const model of Object.values(collection.getModels())) {
  console.log('notetype', model.getName(), model.getFields().map((f) => f.name).join('|'),
    model.getTemplates().map((t) => t.name).join('|'));
}
const lines = [];
for (const deck of Object.values(collection.getDecks())) {
  const cards = Object.values(deck.getCards());
  if (cards.length === 0) continue;
  console.log('deck', deck.getName(), cards.length);
  for (const card of cards) lines.push('card ' + card.getRawCard().ord + ' ' + card.getOrderedFields().join('|'));
}
for (const line of lines.sort()) console.log(line);
