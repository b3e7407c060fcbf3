export default function MenuCard({ name, price, note }) {
  return (
    <article className="menu-card" data-component="MenuCard" data-source-file="src/MenuCard.jsx">
      <h2>{name}</h2>
      <p className="price">€{price}</p>
      <p className="note">{note}</p>
    </article>
  );
}
