export default function ProductCard({ product, onAdd }) {
  return (
    <article className="card">
      <h3>{product.name}</h3>
      <p>{product.description}</p>
      <span className="price">{product.price} euros</span>
      <button onClick={onAdd}>Add to basket</button>
    </article>
  )
}
