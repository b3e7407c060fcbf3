import { useState } from "react";
import MenuCard from "./MenuCard.jsx";

const breads = [
  { name: "Sourdough", price: "6.50", note: "Slow-fermented for two days." },
  { name: "Rye", price: "5.80", note: "Dense, dark and a little sour." },
  { name: "Brioche", price: "7.20", note: "Butter, eggs and patience." },
];

export default function App() {
  const [basket, setBasket] = useState(0);

  return (
    <main className="page">
      <header className="hero" data-source-file="src/App.jsx">
        <h1 className="hero-title" data-source-file="src/App.jsx">
          Fresh bread, every morning
        </h1>
        <p className="hero-copy" data-source-file="src/App.jsx">
          Order before nine and pick it up while it is still warm.
        </p>
        <button className="order-button" data-component="OrderButton" onClick={() => setBasket(basket + 1)}>
          Add a loaf to the basket
        </button>
        <p className="basket" data-source-file="src/App.jsx">
          Loaves in your basket: {basket}
        </p>
      </header>
      <section className="menu" data-source-file="src/MenuCard.jsx">
        {breads.map((bread) => (
          <MenuCard key={bread.name} {...bread} />
        ))}
      </section>
    </main>
  );
}
