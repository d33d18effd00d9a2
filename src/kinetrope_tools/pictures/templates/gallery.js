// Narrows the cards to those whose name or description holds every word of
// the search and whose family and dimensions match the filters.
(function () {
  const search = document.getElementById("search");
  const family = document.getElementById("family");
  const dimensions = document.getElementById("dimensions");
  const count = document.getElementById("count");
  const none = document.getElementById("none");
  const cards = Array.from(document.querySelectorAll(".card")).map((card) => ({
    card,
    text: (card.dataset.name + " " + card.querySelector(".description").textContent).toLowerCase(),
  }));

  function update() {
    const words = search.value.toLowerCase().split(/\s+/).filter(Boolean);
    let shown = 0;
    for (const { card, text } of cards) {
      const visible =
        words.every((word) => text.includes(word)) &&
        (!family.value || card.dataset.family === family.value) &&
        (!dimensions.value || card.dataset.dimensions === dimensions.value);
      card.hidden = !visible;
      if (visible) shown += 1;
    }
    count.textContent = shown === cards.length ? `${shown} patterns` : `${shown} of ${cards.length} patterns`;
    none.hidden = shown !== 0;
  }

  search.addEventListener("input", update);
  family.addEventListener("change", update);
  dimensions.addEventListener("change", update);
  update();
})();
